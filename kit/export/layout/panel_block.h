// PanelBlock: a grey box of label/value rows (the record layout's cover facts and its fingerprint).
//
//   makeBlock<PanelBlock>(std::vector<PanelBlock::Row>{{label("Contents"), value("12 messages")}}, 118, 14);
#pragma once

#include <vector>

#include "export/layout/block.h"

namespace quillmark {

class PanelBlock final : public Block {
public:
    struct Row {
        graphics::AttributedText label;
        graphics::AttributedText value;
    };

    PanelBlock(std::vector<Row> rows, double labelWidth, double padding)
        : rows(std::move(rows)), labelWidth(labelWidth), padding(padding) {}

    const std::vector<Row> rows;
    const double labelWidth;
    const double padding;

    // Space between rows.
    static constexpr double rowSpacing = 7;

    // The height of each row at a block width.
    std::vector<double> rowHeights(double width) const;

    double height(double width) const override;
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
};

}  // namespace quillmark
