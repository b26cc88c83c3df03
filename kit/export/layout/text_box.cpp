#include "export/layout/text_box.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <string>

namespace quillmark::TextBox {
namespace {

// The code point whose UTF-8 sequence starts at byte i of valid UTF-8, and its length in bytes.
std::pair<char32_t, size_t> codePointAt(const std::string& s, size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) return {lead, 1};
    const size_t n = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = lead & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < n && i + k < s.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return {c, n};
}

// The code point whose UTF-8 sequence ends just before byte `end`, and its length in bytes.
std::pair<char32_t, size_t> codePointBefore(const std::string& s, size_t end) {
    size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    return {codePointAt(s, start).first, end - start};
}

size_t utf16Units(char32_t c) { return c >= 0x10000 ? 2 : 1; }

// A text up to this many bytes continues as a text of its own, laid out anew, as short texts always have;
// a longer one continues as the rest of itself, so that its lines are laid out about once in all.
constexpr size_t longText = 32 * 1024;

}  // namespace

bool isWhiteSpaceOrNewline(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

std::optional<std::pair<graphics::AttributedText, graphics::TextRest>> split(const graphics::TextRest& text,
                                                                             double width, double height) {
    if (text.empty() || height <= 0) return std::nullopt;
    const size_t length = text.length();
    const graphics::TextRest::Fit fit = text.fit(width, height);
    const size_t n = fit.units;
    if (n < 1 || n >= length) return std::nullopt;
    const std::string& s = text.whole().string();

    // The continuation starts at the first character after the cut that is not white space or a line break.
    size_t tailUnits = n, tailByte = fit.byte;
    while (tailUnits < length && tailByte < s.size()) {
        const auto [c, bytes] = codePointAt(s, tailByte);
        if (!isWhiteSpaceOrNewline(c)) break;
        tailByte += bytes;
        tailUnits += utf16Units(c);
    }
    if (tailUnits >= length) return std::nullopt;

    // The first part loses its trailing white space, unless it is nothing but white space: then it stays
    // as it is, so the cut still moves forward.
    size_t headUnits = n, headByte = fit.byte;
    while (headUnits > 0 && headByte > text.fromByte()) {
        const auto [c, bytes] = codePointBefore(s, headByte);
        if (!isWhiteSpaceOrNewline(c)) break;
        headByte -= bytes;
        headUnits -= std::min(headUnits, utf16Units(c));
    }
    if (headUnits == 0) {
        headUnits = n;
        headByte = fit.byte;
    }
    graphics::TextRest tail = text.after(tailUnits, tailByte);
    if (s.size() <= longText) tail = graphics::TextRest(tail.text());
    return std::pair{text.slice(headUnits, headByte), std::move(tail)};
}

std::optional<std::pair<graphics::AttributedText, graphics::AttributedText>> split(
    const graphics::AttributedText& text, double width, double height) {
    auto parts = split(graphics::TextRest(text), width, height);
    if (!parts) return std::nullopt;
    return std::pair{std::move(parts->first), parts->second.text()};
}

}  // namespace quillmark::TextBox
