// Paginator: places a flat list of blocks onto pages of one size, top to bottom inside a content
// rectangle, splitting, moving and dropping blocks by fixed rules.
//
//   Paginator paginator{{612, 792}, {54, 71.2, 504, 651.6}};
//   auto pages = paginator.paginate(blocks);       // at least one page
//   for (auto& placed : pages[0]) placed.block->draw(canvas, {54, placed.y}, 504);
//
// The rules: a block with pageBreakBefore starts a new page unless the page is empty; blocks of height 0
// and gaps at the top of a page are dropped; a block that keeps with the next one needs room for itself
// and for up to 48 points of the block after it (looking through gaps and other such blocks); a block that
// does not fit is split if at least 30 points are left (never one that keeps with the next), otherwise moved
// to the next page, or placed alone, overflowing, when even an empty page cannot hold it; a gap that does not
// fit ends the page. When a page ends before a block, the keep-with-next blocks at the page's foot go to the
// next page with it, and so does the block before one that keeps with its previous one, unless that would
// leave the page empty. No empty page is left at the end unless it is the only one.
#pragma once

#include <vector>

#include "export/graphics/canvas.h"
#include "export/layout/block.h"

namespace quillmark {

struct Paginator {
    // Placed: a block on a page; its x and width are the content rectangle's.
    struct Placed {
        BlockRef block;
        double y = 0;  // the block's top, in page coordinates
    };
    using Page = std::vector<Placed>;

    // How much of the block after it a keep-with-next block reserves room for, at most. Gaps and other
    // keep-with-next blocks between the two are reserved in full.
    static constexpr double lookAhead = 48;
    // The least room left at the bottom of a page for which a block is split rather than moved.
    static constexpr double minimumSplitRoom = 30;

    graphics::Size pageSize;
    graphics::Rect content;

    // The pages, each its placed blocks in order; never fails and never returns no page.
    std::vector<Page> paginate(const BlockList& blocks) const;
};

}  // namespace quillmark
