// Ink and Styled: the colour palette and the paragraph styles of the PDF pages.
//
// Every colour a page uses comes from Ink, so the two layouts and the page furniture agree on them:
//
//   AttributedText t = Styled::text("Edited", Font::system(8), Ink::tertiary,
//                                   Styled::paragraph(Alignment::left, 1.5, 0));
#pragma once

#include <string_view>

#include "export/graphics/attributed_text.h"

namespace quillmark {

namespace Ink {

using graphics::Color;

inline constexpr Color text = Color::rgb255(28, 28, 30);            // body text, headings
inline constexpr Color secondary = Color::rgb255(107, 107, 112);    // times, names, captions, labels, notes
inline constexpr Color tertiary = Color::rgb255(154, 154, 160);     // faint text; an unsent bubble's outline
inline constexpr Color rule = Color::rgb255(216, 216, 220);         // hairlines, note bars, picture borders
inline constexpr Color faint = Color::rgb255(242, 242, 245);        // panels, placeholders, row hairlines
inline constexpr Color blue = Color::rgb255(10, 122, 255);          // the owner's bubbles; links
inline constexpr Color bubbleGray = Color::rgb255(233, 233, 235);   // other people's bubbles; badges
inline constexpr Color white = Color::rgb255(255, 255, 255);        // page; text in the owner's bubbles
inline constexpr Color red = Color::rgb255(201, 52, 43);            // "not in this history" in the appendix

}  // namespace Ink

namespace Styled {

// paragraph: a style with exactly these settings and word wrapping (the only line breaking there is).
//   Styled::paragraph(Alignment::center, 2, 0) centres the lines and adds 2 points between them.
graphics::ParagraphStyle paragraph(graphics::Alignment alignment, double lineSpacing, double after);

// The paragraph style most page text uses: left aligned, 1.5 points between lines, nothing after.
graphics::ParagraphStyle standard();

// attributes: a font, a colour and a paragraph style, without underline or link.
graphics::TextAttributes attributes(const graphics::Font& font, const graphics::Color& color,
                                    const graphics::ParagraphStyle& paragraph = standard());

// text: the string in those attributes.
//   Styled::text("Edited", Font::system(8), Ink::tertiary)
graphics::AttributedText text(std::string_view string, const graphics::Font& font, const graphics::Color& color,
                              const graphics::ParagraphStyle& paragraph = standard());

}  // namespace Styled

}  // namespace quillmark
