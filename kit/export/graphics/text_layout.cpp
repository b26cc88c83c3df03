#include "export/graphics/text_layout.h"

#include <limits>

#include "export/graphics/text_frame.h"

namespace quillmark::graphics::TextLayout {

double height(const AttributedText& text, double width) {
    if (text.empty()) return 0;
    return TextFrame::of(text, width)->height();
}

double natural(const AttributedText& text) {
    if (text.empty()) return 0;
    return TextFrame::of(text, std::numeric_limits<double>::infinity())->naturalWidth();
}

size_t fitting(const AttributedText& text, double width, double height) {
    if (text.empty() || !(height > 0)) return 0;
    return TextFrame::of(text, width)->fitting(height);
}

}  // namespace quillmark::graphics::TextLayout
