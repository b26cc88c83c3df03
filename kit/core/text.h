// Text helpers shared by every subsystem.
//
// Text is UTF-8 `std::string` throughout the engine. The Messages archives count positions in UTF-16
// code units, so conversions between the two go through these helpers and nowhere else.
//
//   utf16Length("a😀") == 3
//   toUTF8(toUTF16("a😀")) == "a😀"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark::text {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string toUTF16(std::string_view utf8);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUTF8(std::u16string_view utf16);

// The UTF-8 bytes with every invalid sequence replaced by U+FFFD.
std::string validUTF8(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (so validUTF8 would return them unchanged).
bool isValidUTF8(std::string_view bytes);

// Number of UTF-16 code units the text takes.
size_t utf16Length(std::string_view utf8);

// The text without leading and trailing Unicode white space and line breaks.
std::string trimmed(std::string_view utf8);

// The text without the leading and trailing code points for which `drop` is true.
std::string trimmed(std::string_view utf8, bool (*drop)(char32_t));

// Lower-cased ASCII letters; other bytes unchanged.
std::string asciiLower(std::string_view s);

// isControl: the C0 controls but tab and line feed, DEL, the C1 controls, and the marks that override or
// isolate the direction of text (U+202A to U+202E, U+2066 to U+2069): what lets text from the history drive a
// terminal or disguise a name.
bool isControl(char32_t c);

// withoutControls: the valid UTF-8 text with every code point for which isControl holds removed, and tabs and
// line feeds too.  withoutControls("a\x1b[2Jb\u202Ec") == "a[2Jbc"
std::string withoutControls(std::string_view utf8);

// forDocument: the text as a document may hold it: invalid UTF-8 replaced by U+FFFD and NUL removed (a NUL
// ends the text for many readers of HTML and CSV). Returns the text itself when there is nothing to change.
std::string_view forDocument(std::string_view text, std::string& storage);

// percentEncoded: the text with every byte that is neither an ASCII letter or digit nor one of `kept`
// written as "%" and two upper-case hex digits; with `keepEscapes`, a "%" that begins such an escape already
// stays as it is.  percentEncoded("a b/c", "/") == "a%20b/c"
std::string percentEncoded(std::string_view text, std::string_view kept, bool keepEscapes = false);

// Each byte as two lowercase hex digits.  lowercaseHex("\x01\xab") == "01ab"
std::string lowercaseHex(std::string_view bytes);

}  // namespace quillmark::text
