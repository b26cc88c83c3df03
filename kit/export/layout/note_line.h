// NoteLine: a small note beside or between the bubbles: a time line (centred), a sender's name, a reply
// quote with a bar beside it, "Edited · Sent with Slam" under a bubble.
//
//   makeBlock<NoteLine>(quote, NoteLine::Side::right, /*top*/ 2, /*keep*/ true, /*bar*/ true);
#pragma once

#include "export/layout/block.h"

namespace quillmark {

class NoteLine final : public Block {
public:
    enum class Side { left, right, center };

    NoteLine(graphics::AttributedText text, Side side, double top, bool keep, bool bar, bool keepPrevious = false)
        : text(std::move(text)), side(side), top(top), keep(keep), bar(bar), keepPrevious(keepPrevious) {}

    const graphics::AttributedText text;
    const Side side;
    const double top;   // space above the text
    const bool keep;    // keepWithNext
    const bool bar;     // a vertical bar beside the text (reply quotes)
    const bool keepPrevious;  // keepWithPrevious: a note about the bubble above it

    // Notes take at most this fraction of the width.
    static constexpr double maxFraction = 0.7;

    // The text's rectangle and the bar's (meaningful when `bar`) when drawn at `at` with `width`.
    graphics::Rect textRect(graphics::Point at, double width) const;
    graphics::Rect barRect(graphics::Point at, double width) const;

    double height(double width) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
    bool keepWithNext() const override { return keep; }
    bool keepWithPrevious() const override { return keepPrevious; }
};

}  // namespace quillmark
