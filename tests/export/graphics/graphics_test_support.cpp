#include "graphics_test_support.h"

#include <cstdio>
#include <fstream>
#include <sys/wait.h>

#include "export/graphics/fonts.h"

namespace quillmark::graphics::testing {

std::string missingFonts() {
    std::string names;
    for (const std::string& family : Fonts::missingFamilies()) names += (names.empty() ? "" : ", ") + family;
    return names;
}

bool hasTool(const std::string& name) {
    return run("command -v " + name).status == 0;
}

ToolResult run(const std::string& command) {
    ToolResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TextAttributes body(double size) {
    TextAttributes a;
    a.font = Font::system(size);
    a.color = Color::rgb255(28, 28, 30);
    a.paragraph = {Alignment::left, 1.5, 0};
    return a;
}

std::string words(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? " " : "") + std::string("word") + std::to_string(i);
    return s;
}

std::vector<uint8_t> onePage(const std::function<void(Canvas&)>& draw, Size size, const DocumentInfo& info) {
    PDFWriter writer(info, size);
    writer.page([&](Canvas& canvas) {
        canvas.fill({0, 0, size.width, size.height}, Color::rgb255(255, 255, 255));
        draw(canvas);
    });
    return writer.finish();
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillmark::graphics::testing
