// Block: one self-measuring, self-drawing piece of a PDF page (a paragraph, a gap, a bubble, a photo, a
// table row). A layout turns a thread into one flat list of blocks; the Paginator places them on pages and
// the renderer asks every placed block to draw itself.
//
// Blocks are immutable and shared: a list holds them as BlockRef, and splitting a block makes two new
// ones without touching the original. Big data (pictures) is shared between blocks, never copied.
//
//   BlockList blocks{makeBlock<Gap>(10), makeBlock<TextBlock>(paragraph)};
//   double h = blocks[1]->height(504);                  // whole points
//   if (auto parts = blocks[1]->split(504, 40)) ...     // parts->head fits in 40 points
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "export/graphics/attributed_text.h"
#include "export/graphics/canvas.h"

namespace quillmark {

class Block;
using BlockRef = std::shared_ptr<const Block>;
using BlockList = std::vector<BlockRef>;

class Block {
public:
    // Split: a block cut in two; head fits the height it was cut for, tail carries the rest.
    struct Split {
        BlockRef head;
        BlockRef tail;
    };

    virtual ~Block() = default;

    // The height the block takes at this width; 0 means it takes no room and is left out.
    virtual double height(double width) const = 0;
    // The block cut so that the head fits in `available` points; nothing when it cannot be cut.
    virtual std::optional<Split> split(double /*width*/, double /*available*/) const { return std::nullopt; }
    // Draws the block with its top-left corner at `at`, in top-left page coordinates.
    virtual void draw(graphics::Canvas& canvas, graphics::Point at, double width) const = 0;
    // The block must not end a page with the block after it on the next page.
    virtual bool keepWithNext() const { return false; }
    // The block must not start a page with the block before it on the previous page (a note under a bubble).
    virtual bool keepWithPrevious() const { return false; }
    // The block starts a new page unless the current page is still empty.
    virtual bool pageBreakBefore() const { return false; }
};

template <typename Kind, typename... Args>
BlockRef makeBlock(Args&&... args) {
    return std::make_shared<const Kind>(std::forward<Args>(args)...);
}

// measure: the height of the text laid out at the width with unbounded height, rounded up to a whole
// point; 0 for empty text.
double measure(const graphics::AttributedText& text, double width);

// natural: the width of the text's longest line with unbounded width, rounded up to a whole point; 0 for
// empty text.
double natural(const graphics::AttributedText& text);

}  // namespace quillmark
