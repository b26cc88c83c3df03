#include "export/layout/note_line.h"

#include <algorithm>

#include "export/layout/ink.h"

namespace quillmark {

graphics::Rect NoteLine::textRect(graphics::Point at, double width) const {
    double maxWidth = width * maxFraction;
    double textWidth = std::min((text.empty() ? 0 : natural(text)) + 2, maxWidth);
    double textHeight = measure(text, textWidth);
    double inset = bar ? 8 : 4;
    double x = at.x + inset;
    if (side == Side::right) x = at.x + width - textWidth - inset;
    if (side == Side::center) x = at.x + (width - textWidth) * 0.5;
    return {x, at.y + top, textWidth, textHeight};
}

graphics::Rect NoteLine::barRect(graphics::Point at, double width) const {
    graphics::Rect t = textRect(at, width);
    double x = side == Side::right ? t.right() + 4 : t.x - 6;
    return {x, t.y, 2, t.height};
}

double NoteLine::height(double width) const { return top + measure(text, width * maxFraction) + 2; }

void NoteLine::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    graphics::Rect t = textRect(at, width);
    if (bar) canvas.fill(barRect(at, width), Ink::rule, 1);
    canvas.text(text, t);
}

}  // namespace quillmark
