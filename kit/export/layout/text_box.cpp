#include "export/layout/text_box.h"

#include <unicode/uchar.h>

#include <string>

#include "core/text.h"
#include "export/graphics/text_layout.h"

namespace quillmark::TextBox {
namespace {

// The code point starting at UTF-16 unit i (a lone surrogate stands for itself).
char32_t codePointAt(const std::u16string& s, size_t i) {
    char16_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size()) {
        char16_t low = s[i + 1];
        if (low >= 0xDC00 && low <= 0xDFFF) return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
    }
    return u;
}

// The code point ending just before UTF-16 unit `end`, and how many units it takes.
std::pair<char32_t, size_t> codePointBefore(const std::u16string& s, size_t end) {
    char16_t u = s[end - 1];
    if (u >= 0xDC00 && u <= 0xDFFF && end >= 2) {
        char16_t high = s[end - 2];
        if (high >= 0xD800 && high <= 0xDBFF) return {0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00), 2};
    }
    return {u, 1};
}

}  // namespace

bool isWhiteSpaceOrNewline(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

std::optional<std::pair<graphics::AttributedText, graphics::AttributedText>> split(
    const graphics::AttributedText& text, double width, double height) {
    if (text.empty() || height <= 0) return std::nullopt;
    size_t length = text.length();
    size_t n = graphics::TextLayout::fitting(text, width, height);
    if (n < 1 || n >= length) return std::nullopt;

    std::u16string units = text::toUTF16(text.string());

    // The continuation starts at the first unit after the cut that is not white space or a line break.
    size_t tailStart = n;
    while (tailStart < length && isWhiteSpaceOrNewline(codePointAt(units, tailStart))) ++tailStart;
    if (tailStart >= length) return std::nullopt;

    // The first part loses its trailing white space, unless it is nothing but white space: then it stays
    // as it is, so the cut still moves forward.
    size_t headEnd = n;
    while (headEnd > 0) {
        auto [c, size] = codePointBefore(units, headEnd);
        if (!isWhiteSpaceOrNewline(c)) break;
        headEnd -= size;
    }
    if (headEnd == 0) headEnd = n;

    return std::pair{text.substring(0, headEnd), text.substring(tailStart, length)};
}

}  // namespace quillmark::TextBox
