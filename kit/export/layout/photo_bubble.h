// PhotoBubble: a photo or video still with rounded corners, on the owner's side of the page, with an
// optional label pill at its bottom-left corner (a video's ▶︎ and duration) and a reaction badge.
//
//   makeBlock<PhotoBubble>(picture, graphics::Size{300, 225}, /*fromMe*/ false, reactions, std::nullopt);
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/layout/block.h"
#include "export/layout/picture_ref.h"

namespace quillmark {

class PhotoBubble final : public Block {
public:
// Moving in an empty label, GCC 12 under ThreadSanitizer takes the text it does not hold for a read of
// unset memory.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
    PhotoBubble(PictureRef image, graphics::Size size, bool fromMe, std::vector<std::string> reactions,
                std::optional<graphics::AttributedText> label, bool keepPrevious = false, bool crop = false)
        : image(std::move(image)), size(size), fromMe(fromMe), reactions(std::move(reactions)),
          label(std::move(label)), keepPrevious(keepPrevious), crop(crop) {}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

    const PictureRef image;
    const graphics::Size size;  // the size it is drawn at
    const bool fromMe;
    const std::vector<std::string> reactions;
    const std::optional<graphics::AttributedText> label;
    const bool keepPrevious;  // keepWithPrevious: the photo's short text bubble above it is its caption
    const bool crop;          // the picture is cut to `size` around its centre instead of scaled into it

    static constexpr double cornerRadius = 14;

    // The photo's rectangle when the block is drawn at `at` with `width`.
    graphics::Rect imageRect(graphics::Point at, double width) const;
    // The label pill's rectangle for the photo's rectangle.
    graphics::Rect labelRect(const graphics::Rect& image) const;

    double height(double width) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
    bool keepWithPrevious() const override { return keepPrevious; }
};

}  // namespace quillmark
