#include "sample_history/media.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

extern char** environ;

namespace quillmark::sample {

namespace fs = std::filesystem;

namespace {

// Where a tool comes from, for the sentence that tells how to get it.
struct Tool {
    const char* command;
    const char* package;
};

constexpr Tool ffmpeg{"ffmpeg", "ffmpeg"};
constexpr Tool heifEnc{"heif-enc", "libheif-examples"};

bool onPath(const char* command) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        const fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / command;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

// Runs the command without a shell, with no input and its output discarded; fails with the last lines it
// wrote to standard error.
tl::expected<void, std::string> run(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return tl::unexpected(std::string("cannot make a pipe: ") + std::strerror(errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);

    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        return tl::unexpected("cannot start " + arguments[0] + ": " + std::strerror(spawned));
    }

    std::string errors;
    std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t n = ::read(pipeEnds[0], buffer.data(), buffer.size());
        if (n > 0) {
            errors.append(buffer.data(), static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    ::close(pipeEnds[0]);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r')) errors.pop_back();
    if (errors.size() > 400) errors = "…" + errors.substr(errors.size() - 400);
    return tl::unexpected(arguments[0] + " failed making " + arguments.back() + (errors.empty() ? "" : ": " + errors));
}

tl::expected<std::vector<uint8_t>, std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return tl::unexpected("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

tl::expected<void, std::string> writeFile(const fs::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) return tl::unexpected("cannot write " + path.string());
    return {};
}

// The common head of every ffmpeg call: quiet, no questions, one thread, and output that depends only on
// the input (no encoder version strings, no creation times).
std::vector<std::string> ffmpegCall(std::initializer_list<std::string> inputAndFilters,
                                    std::initializer_list<std::string> encoding, const fs::path& output) {
    std::vector<std::string> call{"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-threads", "1"};
    call.insert(call.end(), inputAndFilters);
    call.insert(call.end(), encoding);
    for (const char* flag : {"-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact",
                             "-map_metadata", "-1"})
        call.emplace_back(flag);
    call.push_back(output.string());
    return call;
}

std::vector<std::string> stillPicture(const std::string& source, const fs::path& output) {
    return ffmpegCall({"-f", "lavfi", "-i", source}, {"-frames:v", "1", "-q:v", "5"}, output);
}

}  // namespace

namespace media {

uint32_t crc32(const void* data, size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFU;
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

std::optional<std::vector<uint8_t>> withOrientation(const std::vector<uint8_t>& jpeg, uint16_t orientation) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return std::nullopt;
    // After the start-of-image marker, and after a JFIF segment when there is one.
    size_t at = 2;
    if (jpeg[2] == 0xFF && jpeg[3] == 0xE0 && jpeg.size() >= 6) {
        const size_t length = (size_t{jpeg[4]} << 8) | jpeg[5];
        if (4 + length > jpeg.size()) return std::nullopt;
        at = 4 + length;
    }
    // An APP1 "Exif" segment: a big-endian TIFF header and one directory with the Orientation tag.
    const std::vector<uint8_t> segment = {
        0xFF, 0xE1, 0x00, 0x22,                          // APP1, 34 bytes including this length
        'E', 'x', 'i', 'f', 0x00, 0x00,                  // Exif identifier
        'M', 'M', 0x00, 0x2A, 0x00, 0x00, 0x00, 0x08,    // TIFF header, directory at offset 8
        0x00, 0x01,                                      // one entry
        0x01, 0x12, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01,  // Orientation, SHORT, one value
        static_cast<uint8_t>(orientation >> 8), static_cast<uint8_t>(orientation & 0xFF), 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00,                          // no further directory
    };
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(at));
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
    return out;
}

std::string pdf(const std::vector<std::string>& lines) {
    std::string content = "BT /F1 20 Tf 72 720 Td 26 TL\n";
    for (const auto& line : lines) {
        std::string escaped;
        for (char c : line) {
            if (c == '(' || c == ')' || c == '\\') escaped += '\\';
            escaped += c;
        }
        content += "(" + escaped + ") Tj T*\n";
    }
    content += "ET\n";

    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
    };
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out += entry;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

std::vector<uint8_t> zip(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<uint8_t> out;
    auto u16 = [](std::vector<uint8_t>& v, uint16_t x) {
        v.push_back(static_cast<uint8_t>(x));
        v.push_back(static_cast<uint8_t>(x >> 8));
    };
    auto u32 = [&](std::vector<uint8_t>& v, uint32_t x) {
        u16(v, static_cast<uint16_t>(x));
        u16(v, static_cast<uint16_t>(x >> 16));
    };
    // A fixed time stamp, 2025-03-14 12:00, so the archive's bytes depend only on its files.
    const uint16_t dosTime = 12 << 11;
    const uint16_t dosDate = static_cast<uint16_t>(((2025 - 1980) << 9) | (3 << 5) | 14);

    std::vector<uint8_t> directory;
    for (const auto& [name, data] : files) {
        const uint32_t crc = crc32(data.data(), data.size());
        const auto size = static_cast<uint32_t>(data.size());
        const auto offset = static_cast<uint32_t>(out.size());
        u32(out, 0x04034B50);
        u16(out, 10);  // version needed
        u16(out, 0x0800);  // names are UTF-8
        u16(out, 0);   // stored
        u16(out, dosTime);
        u16(out, dosDate);
        u32(out, crc);
        u32(out, size);
        u32(out, size);
        u16(out, static_cast<uint16_t>(name.size()));
        u16(out, 0);
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), data.begin(), data.end());

        u32(directory, 0x02014B50);
        u16(directory, 0x031E);  // made by Unix, version 3.0
        u16(directory, 10);
        u16(directory, 0x0800);
        u16(directory, 0);
        u16(directory, dosTime);
        u16(directory, dosDate);
        u32(directory, crc);
        u32(directory, size);
        u32(directory, size);
        u16(directory, static_cast<uint16_t>(name.size()));
        u16(directory, 0);
        u16(directory, 0);
        u16(directory, 0);
        u16(directory, 0);
        u32(directory, 0100644U << 16);  // a plain file, rw-r--r--
        u32(directory, offset);
        directory.insert(directory.end(), name.begin(), name.end());
    }
    const auto directoryOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    u32(out, 0x06054B50);
    u16(out, 0);
    u16(out, 0);
    u16(out, static_cast<uint16_t>(files.size()));
    u16(out, static_cast<uint16_t>(files.size()));
    u32(out, static_cast<uint32_t>(directory.size()));
    u32(out, directoryOffset);
    u16(out, 0);
    return out;
}

}  // namespace media

tl::expected<MediaMaker, std::string> MediaMaker::create(const fs::path& scratchParent) {
    for (const Tool& tool : {ffmpeg, heifEnc}) {
        if (onPath(tool.command)) continue;
        return tl::unexpected(std::string("make-sample-history needs ") + tool.command +
                              " to make its sample media files; install the Debian package " + tool.package +
                              " (scripts/setup installs it)");
    }
    std::string pattern = (scratchParent / "quillmark-sample-media-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return tl::unexpected("cannot make a scratch folder in " + scratchParent.string() + ": " + std::strerror(errno));
    return MediaMaker(fs::path(pattern));
}

MediaMaker::~MediaMaker() {
    if (scratch_.empty()) return;
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
}

tl::expected<fs::path, std::string> MediaMaker::original(Media kind) {
    if (auto found = made_.find(kind); found != made_.end()) return found->second;

    auto at = [&](const char* name) { return scratch_ / name; };
    fs::path path;
    tl::expected<void, std::string> done;
    switch (kind) {
        case Media::none:
            return tl::unexpected(std::string("no media to make"));
        case Media::photoRotated: {
            path = at("rotated.jpg");
            const fs::path plain = at("rotated-plain.jpg");
            done = run(stillPicture("testsrc2=size=480x320:rate=1", plain));
            if (!done) return tl::unexpected(done.error());
            auto bytes = readFile(plain);
            if (!bytes) return tl::unexpected(bytes.error());
            auto rotated = media::withOrientation(*bytes, 6);
            if (!rotated) return tl::unexpected("ffmpeg did not make a JPEG at " + plain.string());
            done = writeFile(path, rotated->data(), rotated->size());
            break;
        }
        case Media::photoA:
            path = at("a.jpg");
            done = run(stillPicture("smptehdbars=size=400x300:rate=1", path));
            break;
        case Media::photoB:
            path = at("b.jpg");
            done = run(stillPicture("mandelbrot=size=320x320:rate=1", path));
            break;
        case Media::photoC:
            path = at("c.jpg");
            done = run(stillPicture("testsrc=size=320x400:rate=1", path));
            break;
        case Media::pngAlpha:
        case Media::sticker: {
            const bool sticker = kind == Media::sticker;
            path = at(sticker ? "sticker.png" : "alpha.png");
            // A disc on a fully transparent square.
            const std::string source = sticker ? "testsrc2=size=120x120:rate=1,format=rgba,geq=r='r(X,Y)':g='g(X,Y)':"
                                                 "b='b(X,Y)':a='if(lt(hypot(X-60,Y-60),56),255,0)'"
                                               : "rgbtestsrc=size=160x160:rate=1,format=rgba,geq=r='r(X,Y)':g='g(X,Y)':"
                                                 "b='b(X,Y)':a='if(lt(hypot(X-80,Y-80),70),255,0)'";
            done = run(ffmpegCall({"-f", "lavfi", "-i", source}, {"-frames:v", "1"}, path));
            break;
        }
        case Media::heic: {
            path = at("picture.heic");
            const fs::path source = at("heic-source.png");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=1"}, {"-frames:v", "1"}, source));
            if (!done) return tl::unexpected(done.error());
            done = run({"heif-enc", "-q", "40", source.string(), "-o", path.string()});
            break;
        }
        case Media::videoMP4:
            path = at("clip.mp4");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=15", "-f", "lavfi", "-i",
                                   "sine=frequency=440:sample_rate=22050", "-t", "2"},
                                  {"-c:v", "libx264", "-preset", "veryfast", "-crf", "32", "-pix_fmt", "yuv420p",
                                   "-c:a", "aac", "-b:a", "32k", "-ac", "1", "-movflags", "+faststart"},
                                  path));
            break;
        case Media::videoMOV:
            path = at("clip.mov");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "testsrc2=size=240x320:rate=10", "-t", "1.5"},
                                  {"-c:v", "libx264", "-preset", "veryfast", "-crf", "34", "-pix_fmt", "yuv420p"}, path));
            break;
        case Media::audioCAF:
            path = at("voice.caf");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "sine=frequency=330:sample_rate=16000", "-t", "2.5"},
                                  {"-ac", "1", "-c:a", "libopus", "-b:a", "16k"}, path));
            break;
        case Media::audioM4A:
            path = at("voice.m4a");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "sine=frequency=523:sample_rate=22050", "-t", "3"},
                                  {"-ac", "1", "-c:a", "aac", "-b:a", "24k"}, path));
            break;
        case Media::audioMP3:
            path = at("song.mp3");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=22050", "-t", "3"},
                                  {"-ac", "1", "-c:a", "libmp3lame", "-b:a", "32k"}, path));
            break;
        case Media::audioWAV:
            path = at("beep.wav");
            done = run(ffmpegCall({"-f", "lavfi", "-i", "sine=frequency=880:sample_rate=8000", "-t", "1"},
                                  {"-ac", "1", "-c:a", "pcm_s16le"}, path));
            break;
        case Media::pdf: {
            path = at("document.pdf");
            const std::string document =
                media::pdf({"Lisbon itinerary", "Thu 12 June: arrive 10:40, ferry to Cacilhas",
                            "Fri 13 June: Belem, Alfama, fado at 21:00", "Sat 14 June: Sintra (train 9:11)"});
            done = writeFile(path, document.data(), document.size());
            break;
        }
        case Media::text: {
            path = at("notes.txt");
            const std::string notes =
                "Packing list\n- passports\n- adapter (type F)\n- sunscreen\n- Pastéis de nata for Anna 🥮\n";
            done = writeFile(path, notes.data(), notes.size());
            break;
        }
        case Media::zip: {
            path = at("archive.zip");
            const auto archive = media::zip({{"tickets/ferry.txt", "Cais do Sodré → Cacilhas, 10:40\n"},
                                             {"tickets/train.txt", "Rossio → Sintra, 09:11\n"}});
            done = writeFile(path, archive.data(), archive.size());
            break;
        }
        case Media::thumbnail:
            path = at("thumbnail.jpg");
            done = run(stillPicture("mandelbrot=size=64x64:rate=1", path));
            break;
    }
    if (!done) return tl::unexpected(done.error());
    made_[kind] = path;
    return path;
}

tl::expected<int64_t, std::string> MediaMaker::make(Media kind, const fs::path& destination) {
    auto source = original(kind);
    if (!source) return tl::unexpected(source.error());
    std::error_code error;
    fs::create_directories(destination.parent_path(), error);
    if (error) return tl::unexpected("cannot make " + destination.parent_path().string() + ": " + error.message());
    fs::copy_file(*source, destination, fs::copy_options::overwrite_existing, error);
    if (error) return tl::unexpected("cannot write " + destination.string() + ": " + error.message());
    const auto size = fs::file_size(destination, error);
    if (error) return tl::unexpected("cannot read the size of " + destination.string() + ": " + error.message());
    return static_cast<int64_t>(size);
}

tl::expected<std::vector<uint8_t>, std::string> MediaMaker::bytes(Media kind) {
    auto source = original(kind);
    if (!source) return tl::unexpected(source.error());
    return readFile(*source);
}

}  // namespace quillmark::sample
