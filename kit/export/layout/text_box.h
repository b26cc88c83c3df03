// TextBox: cutting attributed text at a height, so a paragraph can continue on the next page.
//
// The cut falls after the last whole line that fits. White space and line breaks at the cut belong to
// neither part: the continuation never starts with them and the first part never ends with them.
//
//   auto parts = TextBox::split(paragraph, 300, 40);   // the lines that fit in 300 × 40, and the rest
//   if (!parts) ...                                      // nothing fits, everything fits, or nothing is left
#pragma once

#include <optional>
#include <utility>

#include "export/graphics/attributed_text.h"
#include "export/graphics/text_rest.h"

namespace quillmark::TextBox {

// split: (head, tail) with head the whole lines of `text` that fit in a width × height frame; nothing when
// the text is empty, the height is not positive, not one line fits, everything fits, or only white space
// would be left for the tail. Attributes stay on both parts.
std::optional<std::pair<graphics::AttributedText, graphics::AttributedText>> split(
    const graphics::AttributedText& text, double width, double height);

// split of a text's rest: the head as a text of its own, the tail as the rest after it, which measures
// and cuts again without laying out anew what the rest already laid out.
std::optional<std::pair<graphics::AttributedText, graphics::TextRest>> split(const graphics::TextRest& text,
                                                                             double width, double height);

// True for Unicode white space and line breaks (spaces of every width, tab, LF, CR, NEL, U+2028, U+2029).
bool isWhiteSpaceOrNewline(char32_t c);

}  // namespace quillmark::TextBox
