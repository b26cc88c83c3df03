#include "export/layout/block.h"

#include <cmath>

#include "export/graphics/text_layout.h"

namespace quillmark {

double measure(const graphics::AttributedText& text, double width) {
    if (text.empty()) return 0;
    return std::ceil(graphics::TextLayout::height(text, width));
}

double natural(const graphics::AttributedText& text) {
    if (text.empty()) return 0;
    return std::ceil(graphics::TextLayout::natural(text));
}

}  // namespace quillmark
