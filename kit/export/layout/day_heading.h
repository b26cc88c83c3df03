// DayHeading: the heading of a day in the record layout, with a hairline under it. It keeps with the
// message after it, so a day never ends a page with its heading alone.
//
//   makeBlock<DayHeading>(AttributedText("Tuesday, March 5, 2024", headingStyle));
#pragma once

#include "export/layout/block.h"

namespace quillmark {

class DayHeading final : public Block {
public:
    explicit DayHeading(graphics::AttributedText text) : text(std::move(text)) {}

    const graphics::AttributedText text;

    // Space above the text, and below it (the hairline sits 3 points under the text).
    static constexpr double above = 14;
    static constexpr double below = 8;

    // The y of the hairline when drawn at `at`.
    double ruleY(graphics::Point at, double width) const;

    double height(double width) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
    bool keepWithNext() const override { return true; }
};

}  // namespace quillmark
