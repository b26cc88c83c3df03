// Heights, widths, positions and splits of the block kinds, with real text measurement.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/graphics/text_layout.h"
#include "export/layout/badge.h"
#include "export/layout/book_cover.h"
#include "export/layout/bubble_block.h"
#include "export/layout/column_row.h"
#include "export/layout/day_heading.h"
#include "export/layout/ink.h"
#include "export/layout/note_line.h"
#include "export/layout/paginator.h"
#include "export/layout/panel_block.h"
#include "export/layout/photo_bubble.h"
#include "export/layout/picture_block.h"
#include "export/layout/text_block.h"
#include "fake_block.h"

namespace quillmark {
namespace {

using graphics::AttributedText;
using graphics::Font;
using graphics::Picture;
using graphics::Point;
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

TEST(BubbleBlock, ShortTextIsItsNaturalWidthPlus23AndSitsOnTheOwnersSide) {
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
}

TEST(BubbleBlock, EmptyTextIs23Wide) {
    BubbleBlock empty(AttributedText(), false, {}, false, 0.7);
    EXPECT_EQ(empty.bubbleRect({0, 0}, 400).width, 23);
    EXPECT_EQ(empty.height(400), 17);
}

TEST(BubbleBlock, LongTextWrapsAtTheMaximumFractionLess22) {
    BubbleBlock bubble(body(longText), false, {}, false, 0.7);
    auto g = bubble.geometry(400);
    EXPECT_EQ(g.bubbleWidth, 280);
    EXPECT_EQ(g.textWidth, 258);
    EXPECT_EQ(g.textHeight, std::ceil(graphics::TextLayout::height(body(longText), 258)));
    EXPECT_GT(g.textHeight, 3 * lineHeight());
}

TEST(BubbleBlock, ReactionsAdd9PointsAboveTheBubble) {
    BubbleBlock plain(body("Hi"), true, {}, false, 0.7), liked(body("Hi"), true, {"👍"}, false, 0.7);
    EXPECT_EQ(liked.height(400), plain.height(400) + 9);
    EXPECT_EQ(liked.bubbleRect({0, 100}, 400).y, 109);
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
    EXPECT_EQ(head->text.string() + " " + tail->text.string(), longText);
    // Too little room for one line inside the padding: no split.
    EXPECT_FALSE(bubble.split(400, 9 + 14 + 3 + lineHeight() * 0.5));
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

TEST(PhotoBubble, HeightPositionAndLabel) {
    AttributedText label = Styled::text("▶︎ 0:07", Font::system(8, graphics::FontWeight::semibold), Ink::white);
    PhotoBubble photo(picture(400, 300), {200, 150}, true, {"❤️"}, label);
    EXPECT_EQ(photo.height(500), 150 + 5 + 9);
    EXPECT_EQ(PhotoBubble(picture(400, 300), {200, 150}, false, {}, std::nullopt).height(500), 155);
    Rect image = photo.imageRect({50, 10}, 500);
    EXPECT_EQ(image, (Rect{350, 19, 200, 150}));
    Rect pill = photo.labelRect(image);
    EXPECT_EQ(pill.x, 358);
    EXPECT_EQ(pill.y, 19 + 150 - 26);
    EXPECT_EQ(pill.width, std::ceil(graphics::TextLayout::natural(label)) + 14);
    EXPECT_EQ(pill.height, 18);
}

TEST(NoteLine, HeightAndPlacementOnEachSide) {
    AttributedText note = Styled::text("Edited · Sent with Slam", Font::system(8), Ink::tertiary);
    double tw = std::ceil(graphics::TextLayout::natural(note)) + 2;
    double th = std::ceil(graphics::TextLayout::height(note, 280));
    NoteLine right(note, NoteLine::Side::right, 2, false, false);
    EXPECT_EQ(right.height(400), 2 + th + 2);
    EXPECT_EQ(right.textRect({0, 0}, 400), (Rect{400 - tw - 4, 2, tw, th}));
    NoteLine left(note, NoteLine::Side::left, 0, false, true);
    EXPECT_EQ(left.textRect({0, 0}, 400).x, 8);
    EXPECT_EQ(left.barRect({0, 0}, 400).x, 2);
    NoteLine rightBar(note, NoteLine::Side::right, 0, false, true);
    EXPECT_EQ(rightBar.barRect({0, 0}, 400).x, 400 - 8 + 4);
    // A centred note with a bar still has its bar 6 points left of the text.
    NoteLine centred(note, NoteLine::Side::center, 8, true, true);
    Rect t = centred.textRect({0, 0}, 400);
    EXPECT_DOUBLE_EQ(t.x, (400 - tw) * 0.5);
    EXPECT_EQ(centred.barRect({0, 0}, 400), (Rect{t.x - 6, 8, 2, th}));
    EXPECT_TRUE(centred.keepWithNext());
}

TEST(NoteLine, LongNoteWrapsAtSevenTenthsOfTheWidth) {
    AttributedText note = Styled::text(longText, Font::system(8), Ink::secondary);
    NoteLine line(note, NoteLine::Side::left, 0, false, false);
    EXPECT_EQ(line.textRect({0, 0}, 400).width, 280);
    EXPECT_EQ(line.height(400), std::ceil(graphics::TextLayout::height(note, 280)) + 2);
}

TEST(BookCover, TitleAt34PercentWithoutAPhotoAndBelowThePhotoWithOne) {
    BookCover plain("Anna & Ben", "12 messages", "March 5 – 7, 2024", nullptr, 679.6);
    EXPECT_EQ(plain.height(504), 679.6);
    auto f = plain.frames({54, 43.2}, 504);
    EXPECT_DOUBLE_EQ(f.title.y, 43.2 + 679.6 * 0.34);
    EXPECT_DOUBLE_EQ(f.subtitle.y, f.title.y + f.title.height + 12);
    EXPECT_DOUBLE_EQ(f.detail.y, f.subtitle.y + f.subtitle.height + 6);

    BookCover photo("Anna & Ben", "12 messages · 1 photos", "", picture(1400, 1050), 679.6);
    auto g = photo.frames({54, 43.2}, 504);
    double side = std::min(679.6 * 0.42, 504 * 0.62);
    EXPECT_EQ(g.photo.width, std::floor(side));
    EXPECT_EQ(g.photo.height, std::floor(side * 1050 / 1400));
    EXPECT_DOUBLE_EQ(g.photo.x, 54 + (504 - g.photo.width) * 0.5);
    EXPECT_DOUBLE_EQ(g.photo.y, 43.2 + 679.6 * 0.16);
    EXPECT_DOUBLE_EQ(g.title.y, g.photo.bottom() + 40);
    // An empty detail still takes part in the arithmetic, with no height.
    EXPECT_EQ(g.detail.height, 0);
}

TEST(PictureBlock, FitKeepsProportionsAndEnlargesSmallPictures) {
    EXPECT_EQ(PictureBlock::fit(picture(100, 50).get(), 300, 300), (Size{300, 150}));
    EXPECT_EQ(PictureBlock::fit(picture(400, 300).get(), 200, 230), (Size{200, 150}));
    EXPECT_EQ(PictureBlock::fit(picture(2, 8).get(), 260, 240), (Size{60, 240}));
    EXPECT_EQ(PictureBlock::fit(nullptr, 300, 300), (Size{200, 60}));
    EXPECT_EQ(PictureBlock::fit(nullptr, 150, 300), (Size{150, 60}));
    EXPECT_EQ(PictureBlock::fit(picture(0, 50).get(), 300, 300), (Size{200, 60}));
}

TEST(PictureBlock, HeightWithAndWithoutCaption) {
    AttributedText caption = Styled::text("#1 · IMG_1.HEIC · 2.1 MB\nSHA-256 abc", Font::system(8), Ink::secondary);
    EXPECT_EQ(PictureBlock(picture(10, 10), {100, 80}, std::nullopt, 4, false, std::nullopt).height(300), 86);
    EXPECT_EQ(PictureBlock(picture(10, 10), {100, 80}, AttributedText(), 4, false, std::nullopt).height(300), 90);
    EXPECT_EQ(PictureBlock(picture(10, 10), {100, 80}, caption, 4, false, std::nullopt).height(300),
              86 + std::ceil(graphics::TextLayout::height(caption, 300)) + 4);
    EXPECT_EQ(PictureBlock(nullptr, {100, 80}, std::nullopt, 4, true, std::nullopt).frame({10, 20}, 300),
              (Rect{210, 20, 100, 80}));
}

TEST(DayHeading, HeightKeepAndRule) {
    AttributedText day = Styled::text("Tuesday, March 5, 2024", Font::system(10, graphics::FontWeight::semibold),
                                      Ink::text);
    double th = std::ceil(graphics::TextLayout::height(day, 504));
    DayHeading heading(day);
    EXPECT_EQ(heading.height(504), th + 22);
    EXPECT_EQ(DayHeading(AttributedText()).height(504), 22);
    EXPECT_TRUE(heading.keepWithNext());
    EXPECT_EQ(heading.ruleY({0, 100}, 504), 100 + 14 + th + 3);
}

TEST(DayHeading, NeedsItsHeightPlusAtMost48PointsOfTheNextBlock) {
    AttributedText day = Styled::text("Tuesday, March 5, 2024", Font::system(10), Ink::text);
    double h = DayHeading(day).height(400);
    Paginator paginator{{500, 500}, {0, 0, 400, 300}};
    auto place = [&](double filler, double next) {
        return paginator.paginate({makeBlock<testing::FakeBlock>("filler", filler), makeBlock<DayHeading>(day),
                                   makeBlock<testing::FakeBlock>("next", next)});
    };
    EXPECT_EQ(place(300 - h - 48, 200)[0].size(), 2u);
    EXPECT_EQ(place(300 - h - 47.5, 200)[0].size(), 1u);
    EXPECT_EQ(place(300 - h - 10, 10)[0].size(), 3u);
    EXPECT_EQ(place(300 - h - 9.5, 10)[0].size(), 1u);
}

TEST(PanelBlock, HeightIsPaddingAndRowsWithSevenPointsBetween) {
    AttributedText label = Styled::text("Participants", Font::system(9, graphics::FontWeight::medium), Ink::secondary);
    AttributedText value = Styled::text("Anna — +1 (555) 123-4567\nYou — the owner of this Mac", Font::system(9.5),
                                        Ink::text);
    AttributedText one = Styled::text("12 messages", Font::system(9.5), Ink::text);
    PanelBlock panel({{label, value}, {label, one}}, 118, 14);
    double vw = 504 - 118 - 28;
    double r1 = std::ceil(graphics::TextLayout::height(value, vw));
    double r2 = std::max(std::ceil(graphics::TextLayout::height(label, 118)),
                         std::ceil(graphics::TextLayout::height(one, vw)));
    EXPECT_EQ(panel.rowHeights(504), (std::vector<double>{r1, r2}));
    EXPECT_EQ(panel.height(504), 28 + r1 + 7 + r2);
}

class ColumnRowTest : public ::testing::Test {
protected:
    AttributedText time = Styled::text("7:05:09 PM", Font::system(8.5), Ink::secondary);
    AttributedText sender = Styled::text("Anna Berg", Font::system(9, graphics::FontWeight::semibold), Ink::text);
    std::vector<ColumnRow::Column> left{{time, 62}, {sender, 100}};

    ColumnRow row(BlockList parts, bool rule = false) { return ColumnRow(left, std::move(parts), 10, 7, rule); }
};

TEST_F(ColumnRowTest, HeightIsTheTallerColumnPlusTheBottom) {
    EXPECT_EQ(row({}).height(504), row({}).leftHeight() + 7);
    EXPECT_EQ(row({makeBlock<testing::FakeBlock>("a", 100), makeBlock<testing::FakeBlock>("b", 20)}).height(504), 127);
    EXPECT_EQ(row({}).rightWidth(504), 504 - 182);
}

TEST_F(ColumnRowTest, RightColumnIsMeasuredAtItsOwnWidth) {
    auto part = std::make_shared<const testing::FakeBlock>("a", 10);
    row({part}).height(504);
    EXPECT_EQ(part->lastWidth, 322);
}

TEST_F(ColumnRowTest, CannotSplitWhenTheFirstPartNeitherFitsNorSplits) {
    auto r = row({makeBlock<testing::FakeBlock>("photo", 200), makeBlock<testing::FakeBlock>("note", 10)});
    EXPECT_FALSE(r.split(504, 100));
    // So the whole row moves to the next page.
    Paginator paginator{{600, 500}, {0, 0, 504, 300}};
    auto pages = paginator.paginate({makeBlock<testing::FakeBlock>("filler", 200),
                                     makeBlock<ColumnRow>(left, r.parts, 10, 7, false)});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1][0].y, 0);
}

TEST_F(ColumnRowTest, CannotSplitWhenEverythingFitsOrThereAreNoParts) {
    EXPECT_FALSE(row({makeBlock<testing::FakeBlock>("a", 20)}).split(504, 100));
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
        joined += (joined.empty() ? "" : " ") + t->text.string();
        EXPECT_LE(r->height(504), 120.6);
    }
    EXPECT_EQ(joined, longText + " " + longText + " " + longText);
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

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
