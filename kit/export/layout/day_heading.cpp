#include "export/layout/day_heading.h"

#include "export/layout/ink.h"

namespace quillmark {

double DayHeading::ruleY(graphics::Point at, double width) const { return at.y + above + measure(text, width) + 3; }

double DayHeading::height(double width) const { return measure(text, width) + above + below; }

void DayHeading::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    canvas.text(text, {at.x, at.y + above, width, measure(text, width)});
    double y = ruleY(at, width);
    canvas.line({at.x, y}, {at.x + width, y}, {Ink::rule, 0.6, {}, 0});
}

}  // namespace quillmark
