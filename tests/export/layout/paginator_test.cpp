#include "export/layout/paginator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/layout/text_block.h"
#include "fake_block.h"

namespace quillmark {
namespace {

using testing::FakeBlock;

// A content area from y = 100 to y = 300 (200 points tall), 400 wide.
const Paginator paginator{{600, 400}, {50, 100, 400, 200}};

BlockRef fake(std::string name, double height, bool keep = false, bool breakBefore = false) {
    return makeBlock<FakeBlock>(std::move(name), height, keep, breakBefore);
}
BlockRef lines(std::string name, double height, double lineHeight) {
    return makeBlock<FakeBlock>(std::move(name), height, false, false, lineHeight);
}
BlockRef gap(double size) { return makeBlock<Gap>(size); }
BlockRef pageBreak() { return makeBlock<PageBreak>(); }

// Each page as "name@y" entries; gaps show as "gap<size>@y".
std::vector<std::vector<std::string>> layout(const BlockList& blocks) {
    std::vector<std::vector<std::string>> result;
    for (const auto& page : paginator.paginate(blocks)) {
        auto& out = result.emplace_back();
        for (const auto& placed : page) {
            std::string name;
            if (auto f = dynamic_cast<const FakeBlock*>(placed.block.get())) name = f->name;
            else if (auto g = dynamic_cast<const Gap*>(placed.block.get())) name = "gap" + std::to_string(int(g->size));
            else name = "?";
            out.push_back(name + "@" + std::to_string(int(placed.y)));
        }
    }
    return result;
}

using Pages = std::vector<std::vector<std::string>>;

TEST(Paginator, EmptyListGivesOneEmptyPage) {
    EXPECT_EQ(layout({}), Pages{{}});
    EXPECT_EQ(layout({pageBreak(), gap(10), fake("zero", 0)}), Pages{{}});
}

TEST(Paginator, StacksBlocksFromTheContentTopAndMeasuresAtContentWidth) {
    auto a = std::make_shared<const FakeBlock>("a", 30);
    EXPECT_EQ(layout({a, fake("b", 50), gap(5), fake("c", 10)}), (Pages{{"a@100", "b@130", "gap5@180", "c@185"}}));
    EXPECT_EQ(a->lastWidth, 400);
}

TEST(Paginator, ExactFitStaysAndOneMorePointMoves) {
    EXPECT_EQ(layout({fake("a", 150), fake("b", 50)}), (Pages{{"a@100", "b@250"}}));
    EXPECT_EQ(layout({fake("a", 150), fake("b", 51)}), (Pages{{"a@100"}, {"b@100"}}));
}

TEST(Paginator, GapAtThePageTopIsDropped) {
    EXPECT_EQ(layout({gap(10), fake("a", 10)}), (Pages{{"a@100"}}));
    EXPECT_EQ(layout({fake("a", 10), pageBreak(), gap(10), fake("b", 10)}), (Pages{{"a@100"}, {"b@100"}}));
}

TEST(Paginator, GapThatDoesNotFitEndsThePageAndIsDropped) {
    // 20 points are left: a 30-point gap ends the page, and the 5-point block that would have fitted after
    // it goes to the next page's top.
    EXPECT_EQ(layout({fake("a", 180), gap(30), fake("b", 5)}), (Pages{{"a@100"}, {"b@100"}}));
    // A gap that fits exactly stays; the block after it moves on its own.
    EXPECT_EQ(layout({fake("a", 180), gap(20), fake("b", 5)}), (Pages{{"a@100", "gap20@280"}, {"b@100"}}));
}

TEST(Paginator, PageBreaks) {
    // On an empty page a break does nothing.
    EXPECT_EQ(layout({pageBreak(), fake("a", 10)}), (Pages{{"a@100"}}));
    // Two in a row give one new page, not an empty one between.
    EXPECT_EQ(layout({fake("a", 10), pageBreak(), pageBreak(), fake("b", 10)}), (Pages{{"a@100"}, {"b@100"}}));
    // A break at the end leaves no trailing empty page.
    EXPECT_EQ(layout({fake("a", 10), pageBreak()}), (Pages{{"a@100"}}));
    EXPECT_EQ(layout({fake("a", 10), pageBreak(), pageBreak()}), (Pages{{"a@100"}}));
}

TEST(Paginator, BlockWithPageBreakBeforeStartsANewPageUnlessTheFirst) {
    EXPECT_EQ(layout({fake("a", 10, false, true), fake("b", 10, false, true), fake("c", 10)}),
              (Pages{{"a@100"}, {"b@100", "c@110"}}));
}

TEST(Paginator, KeepWithNextReservesAtMost48PointsOfTheNextBlock) {
    // 100 points left after a. The heading is 20: with a 200-point follower it needs 20 + 48 = 68.
    EXPECT_EQ(layout({fake("a", 100), fake("h", 20, true), fake("big", 200)}),
              (Pages{{"a@100", "h@200"}, {"big@100"}}));
    // 68 points left: exactly enough; the follower then splits in the 48 points below the heading.
    EXPECT_EQ(layout({fake("a", 132), fake("h", 20, true), lines("big", 200, 10)}),
              (Pages{{"a@100", "h@232", "big+@252"}, {"big-@100"}}));
    // 67.5 points left: 20 + 48 does not fit, so the heading moves with its follower.
    EXPECT_EQ(layout({fake("a", 132.5), fake("h", 20, true), fake("big", 200)}),
              (Pages{{"a@100"}, {"h@100"}, {"big@100"}}));
    // With a 10-point follower it needs 20 + 10: exactly 30 left fits both.
    EXPECT_EQ(layout({fake("a", 170), fake("h", 20, true), fake("small", 10)}),
              (Pages{{"a@100", "h@270", "small@290"}}));
    EXPECT_EQ(layout({fake("a", 171), fake("h", 20, true), fake("small", 10)}),
              (Pages{{"a@100"}, {"h@100", "small@120"}}));
    // Last in the list it needs only its own height.
    EXPECT_EQ(layout({fake("a", 180), fake("h", 20, true)}), (Pages{{"a@100", "h@280"}}));
}

// A chapter heading is followed by a gap, a time line (which keeps with its bubble), another gap and only
// then a bubble. Reserving room for the gap alone, or only up to the time line, left headings at the foot
// of pages with their bubbles on the next.
TEST(Paginator, KeepWithNextLooksThroughGapsToTheBlockAfterThem) {
    // 40 points left: heading 20 + gap 4 + bubble 30 do not fit, so the heading moves with its bubble.
    EXPECT_EQ(layout({fake("a", 160), fake("h", 20, true), gap(4), fake("bubble", 30)}),
              (Pages{{"a@100"}, {"h@100", "gap4@120", "bubble@124"}}));
    // 54 points left: all three fit.
    EXPECT_EQ(layout({fake("a", 146), fake("h", 20, true), gap(4), fake("bubble", 30)}),
              (Pages{{"a@100", "h@246", "gap4@266", "bubble@270"}}));
    // Still at most 48 points of the block after the gaps.
    EXPECT_EQ(layout({fake("a", 122), fake("h", 20, true), gap(4), gap(6), lines("big", 200, 10)}),
              (Pages{{"a@100", "h@222", "gap4@242", "gap6@246", "big+@252"}, {"big-@100"}}));
    EXPECT_EQ(layout({fake("a", 122.5), fake("h", 20, true), gap(4), gap(6), lines("big", 200, 10)}),
              (Pages{{"a@100"}, {"h@100", "gap4@120", "gap6@124", "big+@130"}, {"big-@100"}}));
}

TEST(Paginator, ChainOfKeepWithNextBlocksStaysWithTheBlockAfterIt) {
    // chapter 30, gap 10, time line 20, gap 4, then a 40-point bubble: the chapter needs 104 points.
    BlockList chain{fake("chapter", 30, true), gap(10), fake("time", 20, true), gap(4), fake("bubble", 40)};
    BlockList fits{fake("a", 96)}, tight{fake("a", 96.5)};
    fits.insert(fits.end(), chain.begin(), chain.end());
    tight.insert(tight.end(), chain.begin(), chain.end());
    EXPECT_EQ(layout(fits), (Pages{{"a@100", "chapter@196", "gap10@226", "time@236", "gap4@256", "bubble@260"}}));
    EXPECT_EQ(layout(tight), (Pages{{"a@100"}, {"chapter@100", "gap10@130", "time@140", "gap4@160", "bubble@164"}}));
}

// A note under a bubble: keeps with the block before it.
class TrailingNote final : public Block {
public:
    double height(double) const override { return 10; }
    void draw(graphics::Canvas&, graphics::Point, double) const override {}
    bool keepWithPrevious() const override { return true; }
};

// The 48-point look-ahead passes, but the block after the heading then neither fits nor splits, or a gap
// ends the page: what belongs with the next block goes to the next page with it.
TEST(Paginator, BlocksAtAPageFootThatBelongWithTheNextMoveWithIt) {
    EXPECT_EQ(layout({fake("a", 100), fake("h", 20, true), fake("photo", 90)}),
              (Pages{{"a@100"}, {"h@100", "photo@120"}}));
    // A chain of heading, gap and name; the gap before the bubble ends the page; the gap inside the chain
    // travels with it, the one at the page's foot is dropped.
    EXPECT_EQ(layout({fake("a", 140), fake("h", 20, true), gap(10), fake("name", 10, true), gap(25), fake("b", 20)}),
              (Pages{{"a@100"}, {"h@100", "gap10@120", "name@130", "gap25@140", "b@165"}}));
    // A note that keeps with its previous block takes that block along, and the keep-with-next blocks
    // above it.
    auto note = makeBlock<TrailingNote>();
    EXPECT_EQ(layout({fake("a", 120), fake("name", 10, true), fake("bubble", 65), note}),
              (Pages{{"a@100"}, {"name@100", "bubble@110", "?@175"}}));
    // Never when it would empty the page, nor when they would not fit a page together either (the first case
    // of KeepWithNextReservesAtMost48PointsOfTheNextBlock).
    EXPECT_EQ(layout({fake("bubble", 195), note}), (Pages{{"bubble@100"}, {"?@100"}}));
}

TEST(Paginator, KeepWithNextBlockIsNeverSplit) {
    auto heading = makeBlock<FakeBlock>("h", 100, true, false, 10);
    EXPECT_EQ(layout({fake("a", 150), heading}), (Pages{{"a@100"}, {"h@100"}}));
}

TEST(Paginator, SplitsWithAtLeast30PointsLeft) {
    // 100 points left: the paragraph fills them with whole lines and continues at the next page's top.
    EXPECT_EQ(layout({fake("a", 100), lines("p", 150, 10)}), (Pages{{"a@100", "p+@200"}, {"p-@100"}}));
    // Exactly 30 left still splits; 29 moves the whole block.
    EXPECT_EQ(layout({fake("a", 170), lines("p", 150, 10)}), (Pages{{"a@100", "p+@270"}, {"p-@100"}}));
    EXPECT_EQ(layout({fake("a", 171), lines("p", 150, 10)}), (Pages{{"a@100"}, {"p@100"}}));
}

TEST(Paginator, ContinuationSplitsAgainAcrossPages) {
    EXPECT_EQ(layout({fake("a", 150), lines("p", 500, 10), fake("b", 10)}),
              (Pages{{"a@100", "p+@250"}, {"p-+@100"}, {"p--+@100"}, {"p---@100", "b@150"}}));
}

TEST(Paginator, OversizeBlockStandsAloneAndTheNextStartsANewPage) {
    EXPECT_EQ(layout({fake("huge", 300), fake("b", 10)}), (Pages{{"huge@100"}, {"b@100"}}));
    // After other blocks it first moves to a fresh page, then stands alone there.
    EXPECT_EQ(layout({fake("a", 10), fake("huge", 300), fake("b", 10)}), (Pages{{"a@100"}, {"huge@100"}, {"b@100"}}));
    // An oversize block last in the list leaves no empty page behind it.
    EXPECT_EQ(layout({fake("huge", 300)}), (Pages{{"huge@100"}}));
}

TEST(Paginator, OversizeSplittableBlockSplitsInsteadOfOverflowing) {
    EXPECT_EQ(layout({lines("p", 450, 10)}), (Pages{{"p+@100"}, {"p-+@100"}, {"p--@100"}}));
}

}  // namespace
}  // namespace quillmark
