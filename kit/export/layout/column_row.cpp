#include "export/layout/column_row.h"

#include <algorithm>

#include "export/layout/ink.h"

namespace quillmark {
namespace {

double partsHeight(const BlockList& parts, double width) {
    double total = 0;
    for (const BlockRef& part : parts) total += part->height(width);
    return total;
}

}  // namespace

double ColumnRow::leftWidth() const {
    double total = 0;
    for (const Column& column : left) total += column.width + gutter;
    return total;
}

double ColumnRow::leftHeight() const {
    double tallest = 0;
    for (const Column& column : left) tallest = std::max(tallest, measure(column.text, column.width));
    return tallest;
}

double ColumnRow::height(double width) const {
    return std::max(leftHeight(), partsHeight(parts, rightWidth(width))) + bottom;
}

std::optional<Block::Split> ColumnRow::split(double width, double available) const {
    if (parts.empty()) return std::nullopt;
    double rw = rightWidth(width);
    double room = available - bottom;
    double used = 0;
    size_t k = 0;
    for (; k < parts.size(); ++k) {
        double h = parts[k]->height(rw);
        if (used + h > room) break;
        used += h;
    }
    if (k == parts.size()) return std::nullopt;

    BlockList head(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(k));
    BlockList tail(parts.begin() + static_cast<std::ptrdiff_t>(k), parts.end());
    if (auto pieces = parts[k]->split(rw, room - used)) {
        head.push_back(std::move(pieces->head));
        tail.front() = std::move(pieces->tail);
    }
    if (head.empty() || bottom + std::max(leftHeight(), partsHeight(head, rw)) > available) return std::nullopt;

    std::vector<Column> blankLeft;
    blankLeft.reserve(left.size());
    for (const Column& column : left) blankLeft.push_back({graphics::AttributedText(), column.width});
    return Split{makeBlock<ColumnRow>(left, std::move(head), gutter, bottom, rule),
                 makeBlock<ColumnRow>(std::move(blankLeft), std::move(tail), gutter, bottom, false)};
}

void ColumnRow::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    double x = at.x;
    for (const Column& column : left) {
        canvas.text(column.text, {x, at.y, column.width, measure(column.text, column.width)});
        x += column.width + gutter;
    }
    double rw = rightWidth(width);
    double y = at.y;
    for (const BlockRef& part : parts) {
        part->draw(canvas, {x, y}, rw);
        y += part->height(rw);
    }
    if (rule) {
        double ruleY = at.y + height(width) - bottom * 0.5;
        canvas.line({at.x, ruleY}, {at.x + width, ruleY}, {Ink::faint, 0.5, {}, 0});
    }
}

}  // namespace quillmark
