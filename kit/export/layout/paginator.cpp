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
    // The page ends before `next`: the blocks at its foot that belong with `next` go back into the queue
    // to start the next page. The 48-point look-ahead cannot know whether the block after a heading will
    // split or move, and a gap that does not fit ends the page outright; a heading or a sender's name left
    // at a page's foot, or a note alone at a page's top, is what this prevents. Nothing is carried when it
    // would empty the page, so a page always advances, nor when the carried blocks and `next` could not
    // start the next page together either.
    auto carry = [&](const BlockRef& next) {
        Page& page = pages.back();
        size_t cut = page.size();
        auto skipGaps = [&] {
            while (cut > 0 && isGap(page[cut - 1].block)) --cut;
        };
        skipGaps();
        if (next->keepWithPrevious() && cut > 0) {
            --cut;
            skipGaps();
        }
        while (cut > 0 && page[cut - 1].block->keepWithNext()) {
            --cut;
            skipGaps();
        }
        size_t kept = cut;
        while (kept < page.size() && isGap(page[kept].block)) ++kept;  // a gap carried to a page top is dropped
        if (cut == 0 || kept == page.size()) return;
        double carried = 0;
        for (size_t i = kept; i < page.size(); ++i) carried += page[i].block->height(width);
        double room = content.height - carried;
        if (next->height(width) > room && (room < minimumSplitRoom || next->keepWithNext() || !next->split(width, room))) {
            return;
        }
        for (size_t i = page.size(); i > kept; --i) queue.push_front(page[i - 1].block);
        page.resize(cut);
    };
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
            if (!queue.empty()) {
                size_t before = queue.size();
                carry(queue.front());
                if (queue.size() != before) queue.insert(queue.begin() + static_cast<std::ptrdiff_t>(queue.size() - before), block);
            }
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
            // Alone on a page: a block taller than the page overflows it; a heading whose next block does
            // not fit under it stays at the top all the same.
            place(std::move(block), h);
            if (y > bottom) newPage();
            continue;
        }
        queue.push_front(block);
        carry(block);
        newPage();
    }

    if (pages.size() > 1 && pages.back().empty()) pages.pop_back();
    return pages;
}

}  // namespace quillmark
