// BubbleBlock: a chat bubble of text, blue and on the right for the owner, grey and on the left for
// everyone else, as wide as its text up to a fraction of the page, with a reaction badge on its top corner.
//
//   makeBlock<BubbleBlock>(text, /*fromMe*/ true, std::vector<std::string>{"❤️"}, /*dashed*/ false, 0.7);
//
// A long bubble splits between lines; only the first part keeps the badge. A short one never splits.
#pragma once

#include <string>
#include <vector>

#include "export/graphics/text_rest.h"
#include "export/layout/block.h"

namespace quillmark {

class BubbleBlock final : public Block {
public:
    BubbleBlock(graphics::AttributedText text, bool fromMe, std::vector<std::string> reactions, bool dashed,
                double maxFraction, bool keepPrevious = false)
        : content(std::move(text)), fromMe(fromMe), reactions(std::move(reactions)), dashed(dashed),
          maxFraction(maxFraction), keepPrevious(keepPrevious) {}
    // The continuation of a bubble cut at a page's end: the rest of its text.
    BubbleBlock(graphics::TextRest rest, bool fromMe, bool dashed, double maxFraction)
        : content(std::move(rest)), fromMe(fromMe), dashed(dashed), maxFraction(maxFraction) {}

    const graphics::TextRest content;
    const bool fromMe;
    const std::vector<std::string> reactions;  // the reaction symbols shown in the badge
    const bool dashed;                         // an outline instead of a filled bubble (unsent messages)
    const double maxFraction;                  // the widest bubble, as a fraction of the block's width
    const bool keepPrevious = false;           // keepWithPrevious: a file sent with the short text above it

    // The bubble's padding: 11 points left and right of the text, 7 above and below.
    static constexpr double horizontalPadding = 22;
    static constexpr double verticalPadding = 14;
    // Room above the bubble for a badge, and below it before the next block.
    static constexpr double badgeRoom = 9;
    static constexpr double spaceBelow = 3;
    // A bubble whose text is at most this tall (three lines of the book's body) is never cut.
    static constexpr double wholeHeight = 42;

    // The bubble's width, the width of its text, and the text's height, at a block width.
    struct Geometry {
        double bubbleWidth = 0;
        double textWidth = 0;
        double textHeight = 0;
    };
    Geometry geometry(double width) const;
    // The bubble's rectangle when the block is drawn at `at` with `width`.
    graphics::Rect bubbleRect(graphics::Point at, double width) const;

    double height(double width) const override;
    std::optional<Split> split(double width, double available) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
    bool keepWithPrevious() const override { return keepPrevious; }

    // The bubble's text as a text of its own.
    graphics::AttributedText text() const { return content.text(); }
};

}  // namespace quillmark
