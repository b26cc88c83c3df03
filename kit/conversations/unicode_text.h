// Unicode helpers of the conversations subsystem: user-perceived characters, letter and number tests,
// case mapping and blank trimming over UTF-8 text, all through ICU.
//
//   unicode::characters("e\u0301!")  -> {"e\u0301", "!"}
//   unicode::upperCased("straße")    == "STRASSE"
//   unicode::trimmedBlanks("\t Ann\u00A0") == "Ann"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::unicode {

// The text cut into user-perceived characters (extended grapheme clusters), as views into it.
std::vector<std::string_view> characters(std::string_view utf8);

// The first code point of the text; absent for empty text or a damaged first sequence.
std::optional<int32_t> firstCodePoint(std::string_view utf8);

// A letter of any script (general category L*).
bool isLetter(int32_t codePoint);

// A number of any script: decimal digits, letter numbers and other numbers (Nd, Nl, No).
bool isNumber(int32_t codePoint);

// The pieces of the text between any of the given ASCII separator bytes, empty pieces dropped.
std::vector<std::string_view> split(std::string_view utf8, std::string_view asciiSeparators);

// Full Unicode case mapping, independent of the user's locale.
std::string upperCased(std::string_view utf8);
std::string lowerCased(std::string_view utf8);

// The text without leading and trailing blanks: space separators (Zs) and the tab. Line breaks stay.
std::string trimmedBlanks(std::string_view utf8);

}  // namespace quillmark::unicode
