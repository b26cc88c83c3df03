#include "export/layout/bubble_block.h"

#include <algorithm>
#include <cmath>

#include "export/layout/badge.h"
#include "export/layout/ink.h"
#include "export/layout/text_box.h"

namespace quillmark {

BubbleBlock::Geometry BubbleBlock::geometry(double width) const {
    // One point more than the text's natural width keeps the line from wrapping on rounding.
    double naturalWidth = content.empty() ? horizontalPadding + 1 : std::ceil(content.natural()) + 1 + horizontalPadding;
    double bubbleWidth = std::min(naturalWidth, width * maxFraction);
    double textWidth = bubbleWidth - horizontalPadding;
    return {bubbleWidth, textWidth, std::ceil(content.height(textWidth))};
}

graphics::Rect BubbleBlock::bubbleRect(graphics::Point at, double width) const {
    Geometry g = geometry(width);
    double x = fromMe ? at.x + width - g.bubbleWidth : at.x;
    double y = reactions.empty() ? at.y : at.y + badgeRoom;
    return {x, y, g.bubbleWidth, g.textHeight + verticalPadding};
}

double BubbleBlock::height(double width) const {
    return geometry(width).textHeight + verticalPadding + spaceBelow + (reactions.empty() ? 0 : badgeRoom);
}

std::optional<Block::Split> BubbleBlock::split(double width, double available) const {
    // A bubble of a few lines moves whole: cut, it left a lone "Not in this history" at a page's top.
    if (geometry(width).textHeight <= wholeHeight) return std::nullopt;
    // Fitted into whole points, as the text's height is rounded up to them (see TextBlock::split).
    double room = std::floor(available - verticalPadding - spaceBelow - (reactions.empty() ? 0 : badgeRoom));
    auto parts = TextBox::split(content, geometry(width).textWidth, room);
    if (!parts) return std::nullopt;
    return Split{makeBlock<BubbleBlock>(std::move(parts->first), fromMe, reactions, dashed, maxFraction),
                 makeBlock<BubbleBlock>(std::move(parts->second), fromMe, dashed, maxFraction)};
}

void BubbleBlock::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    Geometry g = geometry(width);
    graphics::Rect bubble = bubbleRect(at, width);
    double radius = std::min(bubble.height * 0.5, 15.0);
    if (dashed) {
        canvas.strokeRect(bubble.insetBy(0.4), {Ink::tertiary, 0.8, {3, 2.5}, 0}, radius);
    } else {
        canvas.fill(bubble, fromMe ? Ink::blue : Ink::bubbleGray, radius);
    }
    const graphics::Rect area{bubble.x + 11, bubble.y + 7, g.bubbleWidth - horizontalPadding, g.textHeight};
    if (content.from() == 0)
        canvas.text(content.whole(), area);
    else
        canvas.text(content.text(), area);
    if (!reactions.empty()) Badge::draw(canvas, reactions, bubble, fromMe);
}

}  // namespace quillmark
