// Opens hostile paths beneath a history's folder laid out with hostile links, and holds both ways of
// resolving them (the kernel's and the component walk) to the same answers: a file is opened only when it
// is a regular file whose real place is inside the folder.
//
// The input is lines: "name target" lines first make links in the folder's "dyn" subfolder (for this input
// only), and the last line is the path to open.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/readable_file.h"

using namespace quillmark;
namespace fs = std::filesystem;

namespace {

fs::path base;   // holds history/ and, beside it, outside.txt
fs::path root;   // base/history

void layout() {
    char pattern[] = "/tmp/quillmark-fuzz-paths-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    base = fs::canonical(pattern);
    root = base / "history";
    fs::create_directories(root / "Attachments/ab/cd");
    fs::create_directories(root / "StickerCache");
    auto write = [](const fs::path& p) { FILE* f = std::fopen(p.c_str(), "w"); std::fputs("x", f); std::fclose(f); };
    write(root / "Attachments/ab/cd/IMG_1.jpg");
    write(root / "StickerCache/s.png");
    write(base / "outside.txt");
    fs::create_symlink("../../StickerCache", root / "Attachments/ab/stickers");
    fs::create_symlink("../../../outside.txt", root / "Attachments/ab/out");
    fs::create_symlink("/etc/passwd", root / "Attachments/abs");
    fs::create_symlink("cd/../cd/IMG_1.jpg", root / "Attachments/ab/img");
    fs::create_symlink("loop2", root / "Attachments/loop1");
    fs::create_symlink("loop1", root / "Attachments/loop2");
    fs::create_symlink("..", root / "Attachments/up");
    fs::create_directories(root / "dyn");
    mkfifo((root / "Attachments/pipe").c_str(), 0600);
}

bool safeName(std::string_view name) {
    if (name.empty() || name.size() > 20 || name == "." || name == "..") return false;
    for (char c : name)
        if (!(c >= 'a' && c <= 'z')) return false;
    return true;
}

// The real place of an open descriptor.
std::string realPlace(int fd) {
    char buffer[4096];
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (base.empty()) layout();
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (size_t start = 0; start <= input.size();) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        lines.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    std::vector<fs::path> made;
    for (size_t i = 0; i + 1 < lines.size() && made.size() < 4; ++i) {
        const auto space = lines[i].find(' ');
        if (space == std::string::npos || !safeName(lines[i].substr(0, space))) continue;
        const std::string target = lines[i].substr(space + 1);
        if (target.empty() || target.find('\0') != std::string::npos) continue;
        const fs::path link = root / "dyn" / lines[i].substr(0, space);
        std::error_code error;
        fs::create_symlink(target, link, error);
        if (!error) made.push_back(link);
    }
    const std::string& path = lines.back();

    auto folder = ReadableFile::openFolder(root.string());
    if (!folder) std::abort();
    auto kernel = ReadableFile::openBeneath(*folder, path, ReadableFile::Resolution::automatic);
    auto walk = ReadableFile::openBeneath(*folder, path, ReadableFile::Resolution::walk);
    if (kernel.has_value() != walk.has_value()) __builtin_trap();
    for (const auto* opened : {&kernel, &walk}) {
        if (!*opened) continue;
        const ReadableFile& file = **opened;
        if (!S_ISREG(file.status().st_mode)) __builtin_trap();
        if (realPlace(file.descriptor()).rfind(root.string() + "/", 0) != 0) __builtin_trap();
    }
    if (kernel && walk && kernel->status().st_ino != walk->status().st_ino) __builtin_trap();
    for (const fs::path& link : made) fs::remove(link);
    return 0;
}
