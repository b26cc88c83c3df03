#include "export/layout/badge.h"

#include <algorithm>

#include "export/layout/block.h"
#include "export/layout/ink.h"

namespace quillmark::Badge {

using graphics::AttributedText;
using graphics::Rect;

AttributedText text(const std::vector<std::string>& reactions) {
    std::string joined;
    for (size_t i = 0; i < std::min(reactions.size(), maximumShown); ++i) joined += reactions[i];
    return Styled::text(joined, graphics::Font::system(9), Ink::text,
                        Styled::paragraph(graphics::Alignment::left, 1.5, 0));
}

Rect rect(const std::vector<std::string>& reactions, const Rect& near, bool fromMe) {
    double width = natural(text(reactions)) + 10;
    double x = fromMe ? near.x - 0.55 * width : near.right() - 0.45 * width;
    return {x, near.y - 9, width, 17};
}

void draw(graphics::Canvas& canvas, const std::vector<std::string>& reactions, const Rect& near, bool fromMe) {
    AttributedText label = text(reactions);
    Rect badge = rect(reactions, near, fromMe);
    canvas.fill(badge.insetBy(-1.5), Ink::white, 10);
    canvas.fill(badge, Ink::bubbleGray, 8.5);
    canvas.text(label, {badge.x + 5, badge.y + 2.5, badge.width - 10 + 2, 13});
}

}  // namespace quillmark::Badge
