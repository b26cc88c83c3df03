// TextBlock, Gap and PageBreak: a paragraph, vertical white space, and the start of a new page.
//
//   makeBlock<TextBlock>(heading, 0, /*keep*/ true);   // stays on the page of the block after it
//   makeBlock<Gap>(10);                                // 10 points, dropped at the top of a page
//   makeBlock<PageBreak>();                            // what follows starts a new page
#pragma once

#include "export/graphics/attributed_text.h"
#include "export/graphics/text_rest.h"
#include "export/layout/block.h"

namespace quillmark {

// TextBlock: a paragraph of attributed text (it may hold several lines), indented by `inset` points.
// It splits between lines; both parts keep the inset and neither keeps `keep`, `breakBefore` or `keepPrevious`. The second
// part is the rest of the same text, so that a long text cut page by page is laid out about once.
class TextBlock final : public Block {
public:
    explicit TextBlock(graphics::AttributedText text, double inset = 0, bool keep = false, bool breakBefore = false,
                       bool keepPrevious = false)
        : content(std::move(text)), inset(inset), keep(keep), breakBefore(breakBefore), keepPrevious(keepPrevious) {}
    TextBlock(graphics::TextRest rest, double inset)
        : content(std::move(rest)), inset(inset), keep(false), breakBefore(false), keepPrevious(false) {}

    const graphics::TextRest content;
    const double inset;
    const bool keep;
    const bool breakBefore;
    const bool keepPrevious;

    double height(double width) const override;
    std::optional<Split> split(double width, double available) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
    bool keepWithNext() const override { return keep; }
    bool pageBreakBefore() const override { return breakBefore; }
    bool keepWithPrevious() const override { return keepPrevious; }

    // The block's text as a text of its own.
    graphics::AttributedText text() const { return content.text(); }
};

// Gap: `size` points of white space. The paginator drops it at the top of a page, and a gap that does not
// fit at the bottom ends the page.
class Gap final : public Block {
public:
    explicit Gap(double size) : size(size) {}

    const double size;

    double height(double) const override { return size; }
    void draw(graphics::Canvas&, graphics::Point, double) const override {}
};

// PageBreak: takes no room and draws nothing; what follows starts on a new page (unless the page is still
// empty).
class PageBreak final : public Block {
public:
    double height(double) const override { return 0; }
    void draw(graphics::Canvas&, graphics::Point, double) const override {}
    bool pageBreakBefore() const override { return true; }
};

}  // namespace quillmark
