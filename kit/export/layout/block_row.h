// BlockRow: blocks side by side in columns of one width, a row of a photo grid. The row sits on the left of
// the page or, for the owner's messages, on the right. Cells are drawn at the row's top, or at its bottom
// (book photos: a badge above the first photo does not push it below the others).
//
//   makeBlock<BlockRow>(BlockList{photo1, photo2}, /*columns*/ 2, /*spacing*/ 4, /*maxWidth*/ 312,
//                       /*alignRight*/ true, /*alignBottom*/ true);
#pragma once

#include "export/layout/block.h"

namespace quillmark {

class BlockRow final : public Block {
public:
    BlockRow(BlockList cells, int columns, double spacing, double maxWidth, bool alignRight, bool alignBottom,
             bool keepPrevious = false)
        : cells(std::move(cells)), columns(columns), spacing(spacing), maxWidth(maxWidth), alignRight(alignRight),
          alignBottom(alignBottom), keepPrevious(keepPrevious) {}

    const BlockList cells;  // at most `columns`
    const int columns;
    const double spacing;   // between two columns
    const double maxWidth;  // the whole grid's width at most; the block's width when larger
    const bool alignRight;
    const bool alignBottom;
    const bool keepPrevious;

    // The width of one column at a block width.
    double columnWidth(double width) const;
    // The left edge of cell i when the block is drawn at x with `width`.
    double cellX(size_t i, double x, double width) const;

    double height(double width) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
    bool keepWithPrevious() const override { return keepPrevious; }
};

// grid: the blocks as rows of `columns`, the last row holding what is left.
BlockList grid(const BlockList& cells, int columns, double spacing, double maxWidth, bool alignRight,
               bool alignBottom, bool keepPrevious);

// gridColumns: the columns of a grid of n pictures: two, three from five pictures on.
inline int gridColumns(size_t n) { return n >= 5 ? 3 : 2; }

}  // namespace quillmark
