// Helpers for the graphics tests: fonts and tools that a test needs, running the PDF tools, and small
// documents.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "export/graphics/canvas.h"
#include "export/graphics/pdf_writer.h"

namespace quillmark::graphics::testing {

// Skips the current test when a font the layout names is not installed (every glyph would be a box).
#define QUILLMARK_REQUIRE_FONTS()                                                          \
    do {                                                                                   \
        if (const std::string missing = ::quillmark::graphics::testing::missingFonts();    \
            !missing.empty())                                                              \
            GTEST_SKIP() << "fonts not installed: " << missing;                            \
    } while (false)

// Skips the current test when a command-line tool is not on the PATH.
#define QUILLMARK_REQUIRE_TOOL(name)                                                       \
    do {                                                                                   \
        if (!::quillmark::graphics::testing::hasTool(name)) GTEST_SKIP() << name << " not installed"; \
    } while (false)

std::string missingFonts();
bool hasTool(const std::string& name);

struct ToolResult {
    int status = -1;
    std::string output;  // standard output and standard error
};
// Runs a shell command line.
ToolResult run(const std::string& command);

TextAttributes body(double size = 10);

// "word0 word1 …" of `count` words.
std::string words(int count);

// A one-page document of the given size.
std::vector<uint8_t> onePage(const std::function<void(Canvas&)>& draw, Size size = {612, 792},
                             const DocumentInfo& info = {});

// Writes bytes to a file.
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace quillmark::graphics::testing
