#include "core/text.h"

#include <algorithm>
#include <cstring>

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace quillmark::text {

namespace {

constexpr UChar32 replacement = 0xFFFD;

// Walks the UTF-8 bytes code point by code point, calling f with each (U+FFFD for every invalid sequence).
template <typename F>
void forEachCodePoint(std::string_view utf8, F&& f) {
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const int32_t length = static_cast<int32_t>(utf8.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        f(c < 0 ? replacement : c);
    }
}

void appendUTF8(std::string& out, UChar32 c) {
    char buffer[U8_MAX_LENGTH];
    int32_t n = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(buffer), n, U8_MAX_LENGTH, c, error);
    if (error) return;
    out.append(buffer, static_cast<size_t>(n));
}

}  // namespace

std::u16string toUTF16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&](UChar32 c) {
        if (c <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        }
    });
    return out;
}

std::string toUTF8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    const auto* s = reinterpret_cast<const UChar*>(utf16.data());
    const int32_t length = static_cast<int32_t>(utf16.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U16_NEXT(s, i, length, c);
        if (U_IS_SURROGATE(c)) c = replacement;
        appendUTF8(out, c);
    }
    return out;
}

bool isValidUTF8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const int64_t length = static_cast<int64_t>(bytes.size());
    int64_t i = 0;
    while (i < length) {
        // Most text is ASCII: skip it eight bytes at a time.
        if (i + 8 <= length) {
            uint64_t word;
            std::memcpy(&word, s + i, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        // ICU's macros index with int32_t, so each character is read from a window that starts at it.
        const int32_t window = static_cast<int32_t>(std::min<int64_t>(length - i, 1 << 30));
        int32_t j = 0;
        UChar32 c;
        U8_NEXT(s + i, j, window, c);
        if (c < 0) return false;
        i += j;
    }
    return true;
}

std::string validUTF8(std::string_view bytes) {
    // Fast path: most text is already valid.
    if (isValidUTF8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    forEachCodePoint(bytes, [&](UChar32 c) { appendUTF8(out, c); });
    return out;
}

size_t utf16Length(std::string_view utf8) {
    size_t n = 0;
    forEachCodePoint(utf8, [&](UChar32 c) { n += c > 0xFFFF ? 2 : 1; });
    return n;
}

std::string trimmed(std::string_view utf8) {
    return trimmed(utf8, [](char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)) != 0; });
}

std::string trimmed(std::string_view utf8, bool (*drop)(char32_t)) {
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const int32_t length = static_cast<int32_t>(utf8.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(s, next, length, c);
        if (c < 0 || !drop(static_cast<char32_t>(c))) break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(s, start, previous, c);
        if (c < 0 || !drop(static_cast<char32_t>(c))) break;
        end = previous;
    }
    return std::string(utf8.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view forDocument(std::string_view text, std::string& storage) {
    if (text.find('\0') == std::string_view::npos && isValidUTF8(text)) return text;
    storage = validUTF8(text);
    storage.erase(std::remove(storage.begin(), storage.end(), '\0'), storage.end());
    return storage;
}

bool isControl(char32_t c) {
    if (c < 0x20) return c != '\t' && c != '\n';
    if (c >= 0x7F && c <= 0x9F) return true;
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string withoutControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&](UChar32 c) {
        const auto code = static_cast<char32_t>(c);
        if (!isControl(code) && code != '\t' && code != '\n') appendUTF8(out, c);
    });
    return out;
}

std::string percentEncoded(std::string_view text, std::string_view kept, bool keepEscapes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto b = static_cast<unsigned char>(c);
        const bool alphanumeric = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9');
        const bool escape = keepEscapes && c == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2]);
        if (alphanumeric || escape || (c != '\0' && kept.find(c) != std::string_view::npos)) {
            out += c;
            continue;
        }
        out += '%';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string lowercaseHex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += digits[b >> 4];
        hex += digits[b & 0x0f];
    }
    return hex;
}

}  // namespace quillmark::text
