#include "export/layout/ink.h"

namespace quillmark::Styled {

graphics::ParagraphStyle paragraph(graphics::Alignment alignment, double lineSpacing, double after) {
    return graphics::ParagraphStyle{alignment, lineSpacing, after};
}

graphics::ParagraphStyle standard() { return paragraph(graphics::Alignment::left, 1.5, 0); }

graphics::TextAttributes attributes(const graphics::Font& font, const graphics::Color& color,
                                    const graphics::ParagraphStyle& paragraph) {
    graphics::TextAttributes a;
    a.font = font;
    a.color = color;
    a.paragraph = paragraph;
    return a;
}

graphics::AttributedText text(std::string_view string, const graphics::Font& font, const graphics::Color& color,
                              const graphics::ParagraphStyle& paragraph) {
    return graphics::AttributedText(string, attributes(font, color, paragraph));
}

}  // namespace quillmark::Styled
