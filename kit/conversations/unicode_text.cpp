#include "conversations/unicode_text.h"

#include <algorithm>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include "core/text.h"

namespace quillmark::unicode {

namespace {

bool isASCII(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// In ASCII text every byte is a character of its own, except that CR LF stays together.
std::vector<std::string_view> asciiCharacters(std::string_view s) {
    std::vector<std::string_view> out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const size_t length = (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
        out.push_back(s.substr(i, length));
        i += length - 1;
    }
    return out;
}

// Creating a character break iterator loads rules; one per thread is kept and reused.
icu::BreakIterator* characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    return iterator.get();
}

// Fallback when ICU's break rules are unavailable: one character per code point.
std::vector<std::string_view> codePoints(std::string_view s) {
    std::vector<std::string_view> out;
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const int32_t length = static_cast<int32_t>(s.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        out.push_back(s.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    }
    return out;
}

bool isBlank(UChar32 c) { return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR; }

}  // namespace

std::vector<std::string_view> characters(std::string_view utf8) {
    if (isASCII(utf8)) return asciiCharacters(utf8);
    icu::BreakIterator* iterator = characterIterator();
    if (!iterator) return codePoints(utf8);

    // Over a UTF-8 UText the break positions are byte offsets, so the pieces are views into the input.
    UErrorCode status = U_ZERO_ERROR;
    UText* text = utext_openUTF8(nullptr, utf8.data(), static_cast<int64_t>(utf8.size()), &status);
    if (U_FAILURE(status)) return codePoints(utf8);
    iterator->setText(text, status);
    if (U_FAILURE(status)) {
        utext_close(text);
        return codePoints(utf8);
    }
    std::vector<std::string_view> out;
    int32_t start = iterator->first();
    for (int32_t end = iterator->next(); end != icu::BreakIterator::DONE; start = end, end = iterator->next())
        out.push_back(utf8.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
    // The iterator keeps a reference to the text; point it at nothing before the text goes away.
    iterator->setText(icu::UnicodeString());
    utext_close(text);
    return out;
}

std::optional<int32_t> firstCodePoint(std::string_view utf8) {
    if (utf8.empty()) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    int32_t i = 0;
    UChar32 c;
    U8_NEXT(bytes, i, static_cast<int32_t>(utf8.size()), c);
    if (c < 0) return std::nullopt;
    return c;
}

bool isLetter(int32_t codePoint) { return u_isalpha(codePoint); }

bool isNumber(int32_t codePoint) {
    switch (u_charType(codePoint)) {
        case U_DECIMAL_DIGIT_NUMBER:
        case U_LETTER_NUMBER:
        case U_OTHER_NUMBER:
            return true;
        default:
            return false;
    }
}

std::vector<std::string_view> split(std::string_view utf8, std::string_view asciiSeparators) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find_first_of(asciiSeparators, start);
        if (end == std::string_view::npos) end = utf8.size();
        if (end > start) pieces.push_back(utf8.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string upperCased(std::string_view utf8) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .toUpper(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string lowerCased(std::string_view utf8) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string trimmedBlanks(std::string_view utf8) {
    return text::trimmed(utf8, [](char32_t c) { return isBlank(static_cast<UChar32>(c)); });
}

}  // namespace quillmark::unicode
