// ColumnRow: a table row of fixed-width left columns (time, sender) and a right-hand column made of
// blocks (the message's text, pictures, notes).
//
//   makeBlock<ColumnRow>(std::vector<ColumnRow::Column>{{time, 62}, {sender, 100}}, parts,
//                        /*gutter*/ 10, /*bottom*/ 7, /*rule*/ false);
//
// A row that does not fit splits in its right-hand column; the continuation on the next page shows no
// hairline, and either empty left columns or, for a row made with a `continued` label, the same left columns
// with the label after the last one ("Anna Berg (continued)"). It is not cut after a part that keeps with
// the next one, nor before one that keeps with its previous one (a caption and its picture, a picture and
// the notes under it); when that leaves nothing above the cut, a row of at most `movesWhole` points moves
// whole to the next page and a taller one is cut where it would have been.
#pragma once

#include <vector>

#include "export/layout/block.h"

namespace quillmark {

class ColumnRow final : public Block {
public:
    struct Column {
        graphics::AttributedText text;
        double width = 0;
    };

    ColumnRow(std::vector<Column> left, BlockList parts, double gutter, double bottom, bool rule,
              std::optional<graphics::AttributedText> continued = std::nullopt, bool continuation = false)
        : left(std::move(left)), parts(std::move(parts)), gutter(gutter), bottom(bottom), rule(rule),
          continued(std::move(continued)), continuation(continuation) {}

    // Less than half of any page: such a row always fits on the next one.
    static constexpr double movesWhole = 320;

    const std::vector<Column> left;
    const BlockList parts;  // the right-hand column, top to bottom
    const double gutter;    // space after each left column
    const double bottom;    // space below the row
    const bool rule;        // a hairline in the space below
    const std::optional<graphics::AttributedText> continued;  // appended to the last left column on continuations
    const bool continuation;                                  // the left columns carry the label already

    // The width of the left columns with their gutters, and the right-hand column's width.
    double leftWidth() const;
    double rightWidth(double width) const { return width - leftWidth(); }
    // The tallest left column.
    double leftHeight() const;

    double height(double width) const override;
    std::optional<Split> split(double width, double available) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
};

}  // namespace quillmark
