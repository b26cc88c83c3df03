#include "export/layout/block_row.h"

#include <algorithm>

namespace quillmark {

double BlockRow::columnWidth(double width) const {
    double grid = std::min(width, maxWidth);
    return std::max(0.0, (grid - spacing * (columns - 1)) / columns);
}

double BlockRow::cellX(size_t i, double x, double width) const {
    double column = columnWidth(width);
    double used = cells.size() * column + (cells.size() > 0 ? (cells.size() - 1) * spacing : 0);
    double left = alignRight ? x + width - used : x;
    return left + static_cast<double>(i) * (column + spacing);
}

double BlockRow::height(double width) const {
    double column = columnWidth(width);
    double tallest = 0;
    for (const BlockRef& cell : cells) tallest = std::max(tallest, cell->height(column));
    return tallest;
}

void BlockRow::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    double column = columnWidth(width);
    double rowHeight = height(width);
    for (size_t i = 0; i < cells.size(); ++i) {
        double h = cells[i]->height(column);
        cells[i]->draw(canvas, {cellX(i, at.x, width), alignBottom ? at.y + rowHeight - h : at.y}, column);
    }
}

BlockList grid(const BlockList& cells, int columns, double spacing, double maxWidth, bool alignRight,
               bool alignBottom, bool keepPrevious) {
    BlockList rows;
    const size_t perRow = static_cast<size_t>(std::max(columns, 1));
    for (size_t first = 0; first < cells.size(); first += perRow) {
        size_t last = std::min(cells.size(), first + perRow);
        BlockList row(cells.begin() + static_cast<std::ptrdiff_t>(first), cells.begin() + static_cast<std::ptrdiff_t>(last));
        rows.push_back(makeBlock<BlockRow>(std::move(row), columns, spacing, maxWidth, alignRight, alignBottom,
                                           first == 0 && keepPrevious));
    }
    return rows;
}

}  // namespace quillmark
