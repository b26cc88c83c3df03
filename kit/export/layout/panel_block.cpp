#include "export/layout/panel_block.h"

#include <algorithm>

#include "export/layout/ink.h"

namespace quillmark {

std::vector<double> PanelBlock::rowHeights(double width) const {
    double valueWidth = width - labelWidth - 2 * padding;
    std::vector<double> heights;
    heights.reserve(rows.size());
    for (const Row& row : rows) {
        heights.push_back(std::max(measure(row.label, labelWidth), measure(row.value, valueWidth)));
    }
    return heights;
}

double PanelBlock::height(double width) const {
    double total = 2 * padding - rowSpacing;
    for (double h : rowHeights(width)) total += h + rowSpacing;
    return total;
}

void PanelBlock::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    double valueWidth = width - labelWidth - 2 * padding;
    std::vector<double> heights = rowHeights(width);
    double total = 2 * padding - rowSpacing;
    for (double h : heights) total += h + rowSpacing;
    canvas.fill({at.x, at.y, width, total}, Ink::faint, 8);
    double y = at.y + padding;
    for (size_t i = 0; i < rows.size(); ++i) {
        canvas.text(rows[i].label, {at.x + padding, y, labelWidth, heights[i]});
        canvas.text(rows[i].value, {at.x + padding + labelWidth, y, valueWidth, heights[i]});
        y += heights[i] + rowSpacing;
    }
}

}  // namespace quillmark
