// Formats: small text helpers of the exports: file sizes, grouped hashes, media durations, counts.
//
//   Formats::bytes(1'500'000, "en_US")  == "1.5 MB"
//   Formats::grouped("abcdef", 2)        == "ab cd ef"
//   Formats::duration(187.4)             == "3:07"
//   Formats::integer(12345, "de_DE")     == "12.345"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark::Formats {

// bytes: a file size as people read it in a file browser, in decimal units (1 KB = 1,000 bytes), with the
// number written in the locale (an ICU locale id).
// The rules, in this order:
// - Zero is spelled out with the kilobyte unit: "Zero KB" (a locale without a spelled-out zero, "0 KB").
// - Under 1,000 bytes the count is written in whole bytes with the unit's full name: "1 byte", "999 bytes".
// - Otherwise the unit is the largest of KB, MB, GB, TB and PB that keeps the rounded number below 1,000
//   (999,499 bytes is "999 KB", 999,500 bytes is "1 MB", never "1,000 KB"), with no fraction digits for KB,
//   up to one for MB and up to two from GB on; trailing zeros are dropped and halves go to the even digit
//   (1,234 bytes "1 KB"; 1,500,000 "1.5 MB"; 2,000,000 "2 MB"; 1,234,567,890 "1.23 GB").
// - Units are the locale's short unit names, except that the SI "kB" is written "KB", as file browsers
//   write it. A negative count is written like its magnitude with the locale's minus sign.
std::string bytes(int64_t count, const std::string& locale);

// grouped: the text with one space before every character whose zero-based position is a positive multiple
// of `every` (characters are code points). Used to print hashes in groups of four. An `every` below 1 leaves
// the text unchanged.
//   grouped("abcdef", 2) == "ab cd ef";  grouped("", 4) == ""
std::string grouped(std::string_view text, int every);

// duration: a playing time rounded to the nearest second (halves away from zero): "m:ss" under an hour,
// "h:mm:ss" from an hour on. 3599.5 s is "1:00:00"; 59.4 s is "0:59". A duration that is not finite or is
// negative is "0:00".
std::string duration(double seconds);

// integer: the number with the locale's digit grouping: 12345 is "12,345" in en_US.
std::string integer(int64_t value, const std::string& locale);

}  // namespace quillmark::Formats
