#include "export/layout/text_block.h"

#include <cmath>

#include "export/layout/text_box.h"

namespace quillmark {

double TextBlock::height(double width) const { return std::ceil(content.height(width - inset)); }

std::optional<Block::Split> TextBlock::split(double width, double available) const {
    // Heights are rounded up to whole points, so the lines are fitted into whole points too: cut at the
    // exact room, a head whose lines end 0.6 points short of it would still measure a point too tall and
    // not fit where it was cut for.
    auto parts = TextBox::split(content, width - inset, std::floor(available));
    if (!parts) return std::nullopt;
    return Split{makeBlock<TextBlock>(std::move(parts->first), inset), makeBlock<TextBlock>(std::move(parts->second), inset)};
}

void TextBlock::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    const graphics::Rect rect{at.x + inset, at.y, width - inset, height(width)};
    if (content.from() == 0)
        canvas.text(content.whole(), rect);
    else
        canvas.text(content.text(), rect);
}

}  // namespace quillmark
