#include "cli/output.h"

namespace quillmark::cli {

std::string oneLine(std::string_view text, size_t limit) {
    std::string out;
    size_t codePoints = 0;
    bool pendingSpace = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\r' || c == '\t') {
            pendingSpace = !out.empty();
            continue;
        }
        const bool startsCodePoint = (c & 0xC0) != 0x80;
        if (startsCodePoint) {
            if (pendingSpace) {
                out += ' ';
                ++codePoints;
                pendingSpace = false;
            }
            if (codePoints == limit) return out + "…";
            ++codePoints;
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string indented(std::string_view text, std::string_view prefix) {
    std::string out(prefix);
    for (char c : text) {
        out += c;
        if (c == '\n') out += prefix;
    }
    return out;
}

}  // namespace quillmark::cli
