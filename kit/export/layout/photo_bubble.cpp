#include "export/layout/photo_bubble.h"

#include "export/layout/badge.h"
#include "export/layout/bubble_block.h"
#include "export/layout/ink.h"

namespace quillmark {

graphics::Rect PhotoBubble::imageRect(graphics::Point at, double width) const {
    double x = fromMe ? at.x + width - size.width : at.x;
    double y = reactions.empty() ? at.y : at.y + BubbleBlock::badgeRoom;
    return {x, y, size.width, size.height};
}

graphics::Rect PhotoBubble::labelRect(const graphics::Rect& image) const {
    double width = (label && !label->empty() ? natural(*label) : 0) + 14;
    return {image.x + 8, image.bottom() - 26, width, 18};
}

double PhotoBubble::height(double) const {
    return size.height + 5 + (reactions.empty() ? 0 : BubbleBlock::badgeRoom);
}

void PhotoBubble::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    graphics::Rect frame = imageRect(at, width);
    if (image) canvas.image(*image, frame, cornerRadius, crop);
    if (label) {
        graphics::Rect pill = labelRect(frame);
        canvas.fill(pill, graphics::Color{0, 0, 0, 0.55}, 9);
        if (!label->empty()) canvas.text(*label, {pill.x + 7, pill.y + 3, pill.width - 12, 14});
    }
    if (!reactions.empty()) Badge::draw(canvas, reactions, frame, fromMe);
}

}  // namespace quillmark
