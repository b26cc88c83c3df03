// Widths, positions and splits of the block kinds, with real text measurement.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/graphics/text_layout.h"
#include "export/layout/badge.h"
#include "export/layout/bubble_block.h"
#include "export/layout/column_row.h"
#include "export/layout/ink.h"
#include "export/layout/paginator.h"
#include "export/layout/picture_block.h"
#include "export/layout/picture_ref.h"
#include "export/layout/text_block.h"
#include "fake_block.h"

namespace quillmark {
namespace {

using graphics::AttributedText;
using graphics::Font;
using graphics::Picture;
using graphics::Rect;
using graphics::Size;

AttributedText body(std::string_view s) { return Styled::text(s, Font::system(10.5), Ink::text); }
double lineHeight() { return std::ceil(graphics::TextLayout::height(body("x"), 300)); }

const std::string longText =
    "A message long enough to wrap over several lines of a bubble, because it goes on and on about the "
    "weekend, the weather, the trains that were late and the dinner that was, in the end, worth the wait. "
    "And then there is a second part, which takes a few more lines still, just to be sure.";

PictureRef picture(int width, int height) {
    auto p = std::make_shared<Picture>();
    p->width = width;
    p->height = height;
    return p;
}

TEST(BubbleBlock, ShortTextIsItsNaturalWidthPlus23OnTheOwnersSideAndReactionsGoAbove) {
    AttributedText word = body("Hello");
    double naturalWidth = std::ceil(graphics::TextLayout::natural(word));
    BubbleBlock mine(word, true, {}, false, 0.7), theirs(word, false, {}, false, 0.7);
    Rect m = mine.bubbleRect({50, 100}, 400), t = theirs.bubbleRect({50, 100}, 400);
    EXPECT_EQ(m.width, naturalWidth + 23);
    EXPECT_EQ(m.right(), 450);
    EXPECT_EQ(t.x, 50);
    EXPECT_EQ(m.y, 100);
    EXPECT_EQ(m.height, lineHeight() + 14);
    EXPECT_EQ(mine.height(400), lineHeight() + 14 + 3);
    // Reactions add 9 points above the bubble.
    BubbleBlock liked(word, true, {"👍"}, false, 0.7);
    EXPECT_EQ(liked.height(400), mine.height(400) + 9);
    EXPECT_EQ(liked.bubbleRect({0, 100}, 400).y, 109);
}

TEST(BubbleBlock, LongTextWrapsAtTheMaximumFractionLess22) {
    BubbleBlock bubble(body(longText), false, {}, false, 0.7);
    auto g = bubble.geometry(400);
    EXPECT_EQ(g.bubbleWidth, 280);
    EXPECT_EQ(g.textWidth, 258);
    EXPECT_EQ(g.textHeight, std::ceil(graphics::TextLayout::height(body(longText), 258)));
    EXPECT_GT(g.textHeight, 3 * lineHeight());
    EXPECT_EQ(BubbleBlock(AttributedText(), false, {}, false, 0.7).bubbleRect({0, 0}, 400).width, 23);
}

TEST(BubbleBlock, SplitKeepsTheBadgeOnTheFirstPartOnly) {
    BubbleBlock bubble(body(longText), true, {"❤️", "😂"}, false, 0.7);
    double available = 9 + 14 + 3 + 2 * lineHeight() + 3;
    auto parts = bubble.split(400, available);
    ASSERT_TRUE(parts);
    auto head = dynamic_cast<const BubbleBlock*>(parts->head.get());
    auto tail = dynamic_cast<const BubbleBlock*>(parts->tail.get());
    ASSERT_TRUE(head && tail);
    EXPECT_EQ(head->reactions, (std::vector<std::string>{"❤️", "😂"}));
    EXPECT_TRUE(tail->reactions.empty());
    EXPECT_TRUE(head->fromMe && tail->fromMe);
    EXPECT_LE(head->height(400), available);
    EXPECT_EQ(head->text().string() + " " + tail->text().string(), longText);
    // Too little room for one line inside the padding: no split.
    EXPECT_FALSE(bubble.split(400, 9 + 14 + 3 + lineHeight() * 0.5));
    // Two lines, a file's name and "Not in this history", are never parted.
    BubbleBlock two(body("IMG_4200.JPG\nNot in this history"), true, {}, false, 0.7);
    EXPECT_FALSE(two.split(400, 14 + 3 + lineHeight() * 1.5));
}

TEST(Badge, ShowsTheFirstFourReactionsOverTheCornerNearerTheMiddle) {
    std::vector<std::string> six{"❤️", "👍", "👎", "😂", "‼️", "❓"};
    EXPECT_EQ(Badge::text(six).string(), "❤️👍👎😂");
    Rect bubble{300, 100, 100, 30};
    Rect mine = Badge::rect(six, bubble, true), theirs = Badge::rect(six, bubble, false);
    double width = std::ceil(graphics::TextLayout::natural(Badge::text(six))) + 10;
    EXPECT_EQ(mine.width, width);
    EXPECT_EQ(mine.height, 17);
    EXPECT_EQ(mine.y, 91);
    EXPECT_DOUBLE_EQ(mine.x, 300 - 0.55 * width);
    EXPECT_DOUBLE_EQ(theirs.x, 400 - 0.45 * width);
    EXPECT_EQ(Badge::rect({}, bubble, true).width, 10);
}

TEST(PictureBlock, FitKeepsProportionsAndNeverEnlargesBeyondTheNaturalSize) {
    EXPECT_EQ(PictureBlock::fit(picture(1000, 500).get(), 300, 300), (Size{300, 150}));
    EXPECT_EQ(PictureBlock::fit(picture(400, 300).get(), 200, 230), (Size{200, 150}));
    EXPECT_EQ(PictureBlock::fit(picture(200, 800).get(), 260, 240), (Size{60, 240}));
    // Never beyond the natural size at 144 dpi: a 120-pixel sticker is 60 points, not the box's 300.
    EXPECT_EQ(PictureBlock::fit(picture(120, 120).get(), 300, 300), (Size{60, 60}));
    EXPECT_EQ(PictureBlock::fit(nullptr, 300, 300), (Size{200, 60}));
    EXPECT_EQ(PictureBlock::fit(nullptr, 150, 300), (Size{150, 60}));
    EXPECT_EQ(PictureBlock::fit(picture(0, 50).get(), 300, 300), (Size{200, 60}));
}

class ColumnRowTest : public ::testing::Test {
protected:
    AttributedText time = Styled::text("7:05:09 PM", Font::system(8.5), Ink::secondary);
    AttributedText sender = Styled::text("Anna Berg", Font::system(9, graphics::FontWeight::semibold), Ink::text);
    std::vector<ColumnRow::Column> left{{time, 62}, {sender, 100}};

    ColumnRow row(BlockList parts, bool rule = false) { return ColumnRow(left, std::move(parts), 10, 7, rule); }
};

TEST_F(ColumnRowTest, CannotSplitWhenTheFirstPartNeitherFitsNorSplits) {
    auto r = row({makeBlock<testing::FakeBlock>("photo", 200), makeBlock<testing::FakeBlock>("note", 10)});
    EXPECT_FALSE(r.split(504, 100));
    EXPECT_FALSE(row({makeBlock<testing::FakeBlock>("a", 20)}).split(504, 100));  // nothing to move
    EXPECT_FALSE(row({}).split(504, 100));
}

TEST_F(ColumnRowTest, SplitsBetweenPartsAndInsideTheFirstThatDoesNotFit) {
    auto r = row({makeBlock<testing::FakeBlock>("a", 30), makeBlock<testing::FakeBlock>("b", 100, false, false, 10),
                  makeBlock<testing::FakeBlock>("c", 10)},
                 true);
    auto parts = r.split(504, 80);
    ASSERT_TRUE(parts);
    auto head = dynamic_cast<const ColumnRow*>(parts->head.get());
    auto tail = dynamic_cast<const ColumnRow*>(parts->tail.get());
    ASSERT_TRUE(head && tail);
    auto name = [](const BlockRef& b) { return dynamic_cast<const testing::FakeBlock&>(*b).name; };
    ASSERT_EQ(head->parts.size(), 2u);
    EXPECT_EQ(name(head->parts[0]), "a");
    EXPECT_EQ(name(head->parts[1]), "b+");  // 80 − 7 − 30 = 43: four lines of b
    EXPECT_EQ(head->height(504), 30 + 40 + 7);
    ASSERT_EQ(tail->parts.size(), 2u);
    EXPECT_EQ(name(tail->parts[0]), "b-");
    EXPECT_EQ(name(tail->parts[1]), "c");
    // The first part keeps the row's cells and hairline; the continuation shows empty cells of the same
    // widths and no hairline.
    EXPECT_EQ(head->left[0].text, time);
    EXPECT_TRUE(head->rule);
    ASSERT_EQ(tail->left.size(), 2u);
    EXPECT_TRUE(tail->left[0].text.empty() && tail->left[1].text.empty());
    EXPECT_EQ(tail->left[0].width, 62);
    EXPECT_EQ(tail->left[1].width, 100);
    EXPECT_FALSE(tail->rule);
    EXPECT_EQ(tail->gutter, 10);
    EXPECT_EQ(tail->bottom, 7);
}

TEST_F(ColumnRowTest, ContinuationRepeatsTheLeftColumnsWithTheLabelOnce) {
    auto label = Styled::text(" (continued)", Font::system(9), Ink::secondary);
    ColumnRow r(left, {makeBlock<testing::FakeBlock>("p", 300, false, false, 10)}, 10, 7, false, label);
    auto first = r.split(504, 107);
    ASSERT_TRUE(first);
    auto tail = std::dynamic_pointer_cast<const ColumnRow>(first->tail);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->left[0].text, time);
    EXPECT_EQ(tail->left[1].text.string(), "Anna Berg (continued)");
    auto second = tail->split(504, 107);
    ASSERT_TRUE(second);
    EXPECT_EQ(std::dynamic_pointer_cast<const ColumnRow>(second->head)->left[1].text.string(), "Anna Berg (continued)");
    EXPECT_EQ(std::dynamic_pointer_cast<const ColumnRow>(second->tail)->left[1].text.string(), "Anna Berg (continued)");
}

TEST_F(ColumnRowTest, CaptionsAndNotesAreNotCutFromTheirPictures) {
    auto name = [](const BlockRef& row, size_t i) {
        return dynamic_cast<const testing::FakeBlock&>(*dynamic_cast<const ColumnRow&>(*row).parts.at(i)).name;
    };
    auto caption = makeBlock<testing::FakeBlock>("caption", 20, true);
    auto photo = makeBlock<testing::FakeBlock>("photo", 150);
    // Only the caption and its picture: the row moves whole.
    EXPECT_FALSE(row({caption, makeBlock<Gap>(3), photo}).split(504, 100));
    // With a part before them, the cut comes before the caption; the tail starts with no gap.
    auto parts = row({makeBlock<testing::FakeBlock>("reply", 20), makeBlock<Gap>(2), caption, makeBlock<Gap>(3), photo})
                     .split(504, 100);
    ASSERT_TRUE(parts);
    EXPECT_EQ(name(parts->head, 0), "reply");
    EXPECT_EQ(name(parts->tail, 0), "caption");
    // Notes under a picture take the picture along.
    auto notes = makeBlock<TextBlock>(body("Sent with Fireworks"), 0, false, false, true);
    parts = row({makeBlock<testing::FakeBlock>("text", 20), makeBlock<Gap>(3), photo, makeBlock<Gap>(2), notes})
                .split(504, 185);
    ASSERT_TRUE(parts);
    EXPECT_EQ(dynamic_cast<const ColumnRow&>(*parts->head).parts.size(), 2u);
    EXPECT_EQ(name(parts->tail, 0), "photo");
    // A row too tall to move whole is cut where it fits.
    auto tall = makeBlock<testing::FakeBlock>("tall", 400);
    parts = row({caption, tall}).split(504, 100);
    ASSERT_TRUE(parts);
    EXPECT_EQ(name(parts->head, 0), "caption");
}

TEST_F(ColumnRowTest, CannotSplitWhenTheLeftColumnsAreTallerThanTheRoom) {
    AttributedText tall = Styled::text("a\nb\nc\nd\ne\nf", Font::system(9), Ink::text);
    ColumnRow r({{tall, 62}}, {makeBlock<testing::FakeBlock>("a", 10), makeBlock<testing::FakeBlock>("b", 100)}, 10,
                7, false);
    double leftHeight = r.leftHeight();
    EXPECT_FALSE(r.split(504, leftHeight + 6));
    EXPECT_TRUE(r.split(504, leftHeight + 7));
}

// Text heights are fractional and block heights rounded up: cutting at a fractional room used to give a
// first part a point too tall to fit, so the row refused to split and ran off the page.
TEST_F(ColumnRowTest, LongMessageSplitsAcrossPagesWithRealTextAndFractionalRoom) {
    BlockList parts{makeBlock<TextBlock>(body(longText + " " + longText + " " + longText))};
    Paginator paginator{{612, 792}, {54, 71.2, 504, 120.6}};
    auto pages = paginator.paginate({makeBlock<ColumnRow>(left, parts, 10, 7, false)});
    ASSERT_GE(pages.size(), 2u);
    std::string joined;
    for (const auto& page : pages) {
        ASSERT_EQ(page.size(), 1u);
        auto r = dynamic_cast<const ColumnRow*>(page[0].block.get());
        ASSERT_TRUE(r);
        auto t = dynamic_cast<const TextBlock*>(r->parts.at(0).get());
        joined += (joined.empty() ? "" : " ") + t->text().string();
        EXPECT_LE(r->height(504), 120.6);
    }
    EXPECT_EQ(joined, longText + " " + longText + " " + longText);
}

TEST(SharedPicture, LetsGoOfPixelsOnlyWhenTheJpegDescribesThePicture) {
    graphics::Picture p;
    p.width = 64;
    p.height = 48;
    p.rgb.assign(64 * 48 * 3, 90);
    auto jpeg = p.encodeJPEG(0.8);
    ASSERT_TRUE(jpeg);
    graphics::Picture withJPEG = p;
    withJPEG.jpeg = jpeg;
    PictureRef shared = share(withJPEG);
    EXPECT_TRUE(shared->rgb.empty());
    EXPECT_EQ(shared->jpeg, jpeg);
    EXPECT_EQ(shared->width, 64);

    // Bytes of another size, or no JPEG at all: the pixels stay, they are what is drawn.
    graphics::Picture mismatched = p;
    mismatched.jpeg = jpeg;
    mismatched.width = 32;
    mismatched.rgb.resize(32 * 48 * 3);
    EXPECT_FALSE(share(mismatched)->rgb.empty());
    EXPECT_FALSE(share(p)->rgb.empty());
    EXPECT_EQ(share(std::nullopt), nullptr);
}

}  // namespace
}  // namespace quillmark
