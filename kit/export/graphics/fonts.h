// Fonts: the one place that names the faces standing in for the platform's system fonts.
//
// Sans is Inter (with tabular digits through its `tnum` feature for FontDesign::monospacedDigits), serif
// is Noto Serif, fixed-pitch is Noto Sans Mono, emoji are Noto Color Emoji and every other script comes
// from its Noto family. Each design is an explicit list of families rather than one family left to the
// font configuration's fallback: a fallback may pick a face whose glyphs lack the text mapping the PDF
// needs, and then text extraction splits Arabic or CJK words into pieces.
//
// The emoji face is not in those lists. It has glyphs for digits, #, ©, ® and the space too, and Pango,
// given it among the families, draws such characters near an emoji (or after right-to-left text) from
// it, as pictures and with wide gaps. Emoji sequences are found here instead (emojiRanges) and only they
// get the emoji face.
//
//   Fonts::families(FontDesign::sans)   // "Inter, Noto Sans Arabic, …, Noto Sans Symbols2, …"
//   Fonts::emojiRanges("ok 👍🏽!")       // {{3, 11}}: the thumb with its skin tone, in bytes
//   Fonts::cssWeight(FontWeight::semibold) == 600
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/graphics/attributed_text.h"

namespace quillmark::graphics::Fonts {

// The comma-separated family list of a design, in order of preference.
std::string families(FontDesign design);

// OpenType features to switch on for a design ("tnum" for monospaced digits), in the form
// "tag 1, tag 1"; empty when none.
std::string features(FontDesign design);

// The weight on the 100–900 scale: regular 400, medium 500, semibold 600, bold 700.
int cssWeight(FontWeight weight);

// The byte ranges [start, end) of the UTF-8 text that are emoji shown as emoji: characters that present
// as emoji by default, characters followed by the emoji variation selector (U+FE0F), keycaps, flags,
// skin-tone and tag sequences, and sequences joined with U+200D. Digits, #, © and the like without a
// selector stay text.
std::vector<std::pair<size_t, size_t>> emojiRanges(std::string_view utf8);

// The colour emoji face. Glyphs from it are drawn as pictures, not as PDF text.
inline constexpr const char* emojiFamily = "Noto Color Emoji";

// The face whose em dash stands in for each emoji in the PDF's text, so that text extraction gives the
// emoji back.
inline constexpr const char* placeholderFamily = "Inter";

// The families the designs name first (Inter, Noto Serif, Noto Sans Mono, Noto Color Emoji, Noto Sans
// Arabic, Noto Sans CJK SC …) that the font configuration does not know; empty when all are installed.
std::vector<std::string> missingFamilies();

}  // namespace quillmark::graphics::Fonts
