#include "export/layout/column_row.h"

#include <algorithm>

#include "export/layout/ink.h"
#include "export/layout/text_block.h"

namespace quillmark {
namespace {

bool isGap(const BlockRef& block) { return dynamic_cast<const Gap*>(block.get()) != nullptr; }

// Where to cut the parts when part k is the first that goes to the next page whole: moved up past the parts
// that belong with what follows. 0 when everything above the cut belongs with it.
size_t untied(const BlockList& parts, size_t k) {
    size_t cut = k;
    while (cut > 0) {
        size_t last = cut;
        while (last > 0 && isGap(parts[last - 1])) --last;
        if (last == 0) return 0;
        size_t first = cut;
        while (first < parts.size() && isGap(parts[first])) ++first;
        bool tied = parts[last - 1]->keepWithNext() || (first < parts.size() && parts[first]->keepWithPrevious());
        if (!tied) return cut;
        cut = last - 1;
    }
    return 0;
}

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

    auto pieces = parts[k]->split(rw, room - used);
    if (!pieces) {
        size_t cut = untied(parts, k);
        if (cut == 0 && height(width) <= movesWhole) return std::nullopt;
        if (cut > 0) k = cut;
    }
    BlockList head(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(k));
    BlockList tail(parts.begin() + static_cast<std::ptrdiff_t>(k), parts.end());
    if (pieces) {
        head.push_back(std::move(pieces->head));
        tail.front() = std::move(pieces->tail);
    }
    while (tail.size() > 1 && isGap(tail.front())) tail.erase(tail.begin());
    if (head.empty() || bottom + std::max(leftHeight(), partsHeight(head, rw)) > available) return std::nullopt;

    std::vector<Column> nextLeft;
    nextLeft.reserve(left.size());
    if (continued) {
        nextLeft = left;
        if (!continuation && !nextLeft.empty()) nextLeft.back().text.append(*continued);
    } else {
        for (const Column& column : left) nextLeft.push_back({graphics::AttributedText(), column.width});
    }
    return Split{makeBlock<ColumnRow>(left, std::move(head), gutter, bottom, rule, continued, continuation),
                 makeBlock<ColumnRow>(std::move(nextLeft), std::move(tail), gutter, bottom, false, continued,
                                      continued.has_value())};
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
