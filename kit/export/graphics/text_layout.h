// TextLayout: measuring and fitting attributed text, with the same layout engine and the same fonts that
// draw it, so that what is measured is exactly what is drawn.
//
//   double h = TextLayout::height(text, 300);       // suggested height at width 300, unbounded
//   double w = TextLayout::natural(text);           // width of the longest line, unbounded
//   size_t n = TextLayout::fitting(text, 300, 100); // UTF-16 units visible in whole lines of a 300 × 100 frame
//
// Heights and widths are exact layout values (not rounded); the blocks round them up to whole points.
// All operations are thread-safe. Each thread keeps its own fonts (loaded on its first measurement) and its
// last few dozen layouts, so asking again for the same text at the same width costs next to nothing.
// Lines break between words, and inside a word only when it is wider than the line. Paragraphs are cut
// at line breaks and take their alignment and spacing from the run at their start; a paragraph's spacing
// after separates it from the next one and is not added below the last.
#pragma once

#include <cstddef>

#include "export/graphics/attributed_text.h"

namespace quillmark::graphics::TextLayout {

double height(const AttributedText& text, double width);
double natural(const AttributedText& text);
size_t fitting(const AttributedText& text, double width, double height);

}  // namespace quillmark::graphics::TextLayout
