// PictureBlock: a picture in a frame with a thin border and a caption under it, or, without a picture, a
// grey dashed placeholder box with a short text in it.
//
//   auto size = PictureBlock::fit(picture.get(), 260, 230);
//   makeBlock<PictureBlock>(picture, size, caption, /*radius*/ 4, /*alignRight*/ false, std::nullopt);
#pragma once

#include <optional>

#include "export/layout/block.h"
#include "export/layout/picture_ref.h"

namespace quillmark {

class PictureBlock final : public Block {
public:
    PictureBlock(PictureRef image, graphics::Size size, std::optional<graphics::AttributedText> caption,
                 double radius, bool alignRight, std::optional<graphics::AttributedText> placeholder)
        : image(std::move(image)), size(size), caption(std::move(caption)), radius(radius),
          alignRight(alignRight), placeholder(std::move(placeholder)) {}

    const PictureRef image;  // may be null: a placeholder box is drawn
    const graphics::Size size;
    const std::optional<graphics::AttributedText> caption;
    const double radius;
    const bool alignRight;
    const std::optional<graphics::AttributedText> placeholder;

    // A picture is never shown larger than its pixels at this many per inch: a 120-pixel sticker stays
    // 60 points wide instead of being blown up into a blur.
    static constexpr double naturalDPI = 144;

    // fit: the size at which a picture is shown inside a box of maxWidth × maxHeight, keeping its
    // proportions and never beyond its natural size, in whole points. Without a picture, or with one of no
    // pixels: (min(maxWidth, 200), 60).
    //   fit(1000 × 500 pixels, 300, 300) == {300, 150}; fit(100 × 50 pixels, 300, 300) == {50, 25}
    static graphics::Size fit(const graphics::Picture* image, double maxWidth, double maxHeight);
    // naturalScale: points per pixel at the natural size.
    static constexpr double naturalScale = 72 / naturalDPI;

    // The picture's frame when drawn at `at` with `width`.
    graphics::Rect frame(graphics::Point at, double width) const;

    double height(double width) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
};

}  // namespace quillmark
