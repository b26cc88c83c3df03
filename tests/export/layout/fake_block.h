// FakeBlock: a block of a known height for testing pagination without fonts. It can be made splittable
// in whole "lines" of a fixed height, and records nothing but its name, so tests can say which block (or
// which piece of it) landed where.
#pragma once

#include <cmath>
#include <string>

#include "export/layout/block.h"

namespace quillmark::testing {

class FakeBlock final : public Block {
public:
    FakeBlock(std::string name, double height, bool keep = false, bool breakBefore = false, double lineHeight = 0)
        : name(std::move(name)), fixedHeight(height), keep(keep), breakBefore(breakBefore), lineHeight(lineHeight) {}

    const std::string name;
    const double fixedHeight;
    const bool keep;
    const bool breakBefore;
    const double lineHeight;  // > 0: splits between lines of this height
    mutable double lastWidth = -1;

    double height(double width) const override {
        lastWidth = width;
        return fixedHeight;
    }
    std::optional<Split> split(double, double available) const override {
        if (lineHeight <= 0) return std::nullopt;
        double lines = std::floor(fixedHeight / lineHeight);
        double fit = std::floor(available / lineHeight);
        if (fit < 1 || fit >= lines) return std::nullopt;
        return Split{makeBlock<FakeBlock>(name + "+", fit * lineHeight, false, false, lineHeight),
                     makeBlock<FakeBlock>(name + "-", fixedHeight - fit * lineHeight, false, false, lineHeight)};
    }
    void draw(graphics::Canvas&, graphics::Point, double) const override {}
    bool keepWithNext() const override { return keep; }
    bool pageBreakBefore() const override { return breakBefore; }
};

}  // namespace quillmark::testing
