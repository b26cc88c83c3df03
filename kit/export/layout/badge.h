// Badge: the reaction badge drawn over the top corner of a bubble or photo (not a block of its own).
//
// It shows at most four reactions side by side in a grey pill with a white ring, over the corner nearer
// the middle of the page: the left corner of the owner's bubbles, the right corner of everyone else's.
//
//   Badge::draw(canvas, {"❤️", "👍"}, bubbleRect, /*fromMe*/ true);
#pragma once

#include <string>
#include <vector>

#include "export/graphics/attributed_text.h"
#include "export/graphics/canvas.h"

namespace quillmark::Badge {

// The most reactions a badge shows; the rest are left out.
inline constexpr size_t maximumShown = 4;

// text: the first four reactions joined with nothing between them, in the badge's style.
graphics::AttributedText text(const std::vector<std::string>& reactions);

// rect: the badge's grey pill for a bubble at `near`: 17 points tall, reaching 9 points above the bubble.
graphics::Rect rect(const std::vector<std::string>& reactions, const graphics::Rect& near, bool fromMe);

void draw(graphics::Canvas& canvas, const std::vector<std::string>& reactions, const graphics::Rect& near,
          bool fromMe);

}  // namespace quillmark::Badge
