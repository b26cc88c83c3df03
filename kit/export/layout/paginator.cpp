#include "export/layout/paginator.h"

#include <algorithm>
#include <deque>

#include "export/layout/text_block.h"

namespace quillmark {

namespace {

bool isGap(const BlockRef& block) { return dynamic_cast<const Gap*>(block.get()) != nullptr; }

// How much room the blocks after a keep-with-next block need for it to stay on this page: the gaps and
// the blocks that keep with their own next one in full, then at most 48 points of the first other block.
// The book follows a chapter heading with a gap, a time line, another gap and only then a bubble; counting
// the gap alone, or stopping at the time line, left headings at the foot of pages with nothing under them.
double following(const std::deque<BlockRef>& queue, double width) {
    double total = 0;
    for (const BlockRef& next : queue) {
        double h = next->height(width);
        if (!isGap(next) && !next->keepWithNext()) return total + std::min(h, Paginator::lookAhead);
        total += h;
    }
    return total;
}

}  // namespace

std::vector<Paginator::Page> Paginator::paginate(const BlockList& blocks) const {
    const double top = content.y;
    const double bottom = content.bottom();
    const double width = content.width;

    std::vector<Page> pages(1);
    double y = top;
    auto newPage = [&] {
        pages.emplace_back();
        y = top;
    };
    auto place = [&](BlockRef block, double height) {
        pages.back().push_back({std::move(block), y});
        y += height;
    };

    std::deque<BlockRef> queue(blocks.begin(), blocks.end());
    while (!queue.empty()) {
        BlockRef block = std::move(queue.front());
        queue.pop_front();

        if (block->pageBreakBefore() && !pages.back().empty()) newPage();

        double h = block->height(width);
        if (h == 0) continue;
        bool gap = isGap(block);
        if (gap && pages.back().empty()) continue;

        double need = h;
        if (block->keepWithNext() && !queue.empty()) need = h + following(queue, width);
        if (y + need <= bottom) {
            place(std::move(block), h);
            continue;
        }

        if (gap) {
            newPage();
            continue;
        }
        double room = bottom - y;
        if (!block->keepWithNext() && room >= minimumSplitRoom) {
            if (auto parts = block->split(width, room)) {
                place(std::move(parts->head), 0);
                newPage();
                queue.push_front(std::move(parts->tail));
                continue;
            }
        }
        if (pages.back().empty()) {
            place(std::move(block), h);
            newPage();
            continue;
        }
        newPage();
        queue.push_front(std::move(block));
    }

    if (pages.size() > 1 && pages.back().empty()) pages.pop_back();
    return pages;
}

}  // namespace quillmark
