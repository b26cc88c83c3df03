#include "export/layout/picture_block.h"

#include <algorithm>
#include <cmath>

#include "export/layout/ink.h"

namespace quillmark {

graphics::Size PictureBlock::fit(const graphics::Picture* image, double maxWidth, double maxHeight) {
    if (!image || image->width < 1 || image->height < 1) return {std::min(maxWidth, 200.0), 60};
    double scale = std::min({maxWidth / image->width, maxHeight / image->height, naturalScale});
    return {std::floor(scale * image->width), std::floor(scale * image->height)};
}

graphics::Rect PictureBlock::frame(graphics::Point at, double width) const {
    double x = alignRight ? at.x + width - size.width : at.x;
    return {x, at.y, size.width, size.height};
}

double PictureBlock::height(double width) const {
    double captionPart = 0;
    if (caption) captionPart = caption->empty() ? 4 : measure(*caption, width) + 4;
    return size.height + 6 + captionPart;
}

void PictureBlock::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    graphics::Rect f = frame(at, width);
    if (image) {
        canvas.image(*image, f, radius);
        canvas.strokeRect(f.insetBy(0.25), {Ink::rule, 0.5, {}, 0}, radius);
    } else {
        canvas.fill(f, Ink::faint, radius);
        canvas.strokeRect(f.insetBy(0.25), {Ink::rule, 0.5, {3, 2}, 0}, radius);
        if (placeholder && !placeholder->empty()) {
            double h = measure(*placeholder, f.width - 16);
            canvas.text(*placeholder, {f.x + 8, f.y + f.height * 0.5 - h * 0.5, f.width - 16, h});
        }
    }
    if (caption && !caption->empty()) {
        canvas.text(*caption, {at.x, at.y + size.height + 4, width, measure(*caption, width)});
    }
}

}  // namespace quillmark
