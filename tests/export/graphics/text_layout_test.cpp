#include "export/graphics/text_layout.h"

#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "export/graphics/fonts.h"
#include "graphics_test_support.h"

namespace quillmark::graphics {
namespace {

using testing::body;
using testing::words;

TEST(TextLayout, EmptyTextMeasuresNothing) {
    const AttributedText empty;
    EXPECT_EQ(TextLayout::height(empty, 300), 0);
    EXPECT_EQ(TextLayout::natural(empty), 0);
    EXPECT_EQ(TextLayout::fitting(empty, 300, 100), 0u);
}

TEST(TextLayout, WrapsAtTheWidthAndBreaksWordsLongerThanALine) {
    QUILLMARK_REQUIRE_FONTS();
    const AttributedText one("word", body());
    const double line = TextLayout::height(one, 300);
    EXPECT_GT(line, 10);
    EXPECT_LT(line, 16);

    const AttributedText paragraph(words(40), body());
    const double wide = TextLayout::height(paragraph, 500);
    const double narrow = TextLayout::height(paragraph, 150);
    EXPECT_GT(narrow, wide);
    // Lines are one line height apart plus the paragraph's 1.5 points of line spacing.
    const double lines = (narrow + 1.5) / (line + 1.5);
    EXPECT_NEAR(lines, std::round(lines), 1e-6);

    // A word wider than the frame breaks between characters instead of running past the edge.
    const AttributedText longWord(std::string(60, 'x'), body());
    EXPECT_GT(TextLayout::natural(longWord), 100);
    EXPECT_GT(TextLayout::height(longWord, 100), 2 * line);
}

TEST(TextLayout, NaturalWidthIsTheLongestLineAndGrowsWithTheText) {
    QUILLMARK_REQUIRE_FONTS();
    const double word = TextLayout::natural(AttributedText("Hello", body()));
    EXPECT_GT(word, 20);
    EXPECT_LT(word, 30);
    EXPECT_DOUBLE_EQ(TextLayout::natural(AttributedText("Hello\nHi", body())), word);
    EXPECT_GT(TextLayout::natural(AttributedText("Hello there", body())), word);
    // The natural width is enough for the text to stay on one line.
    const AttributedText text("Hello there, how are you?", body());
    EXPECT_DOUBLE_EQ(TextLayout::height(text, TextLayout::natural(text)), TextLayout::height(text, 1000));
}

TEST(TextLayout, TabularDigitsHaveOneWidth) {
    QUILLMARK_REQUIRE_FONTS();
    TextAttributes tabular = body();
    tabular.font = tabular.font.withDesign(FontDesign::monospacedDigits);
    EXPECT_DOUBLE_EQ(TextLayout::natural(AttributedText("1111", tabular)),
                     TextLayout::natural(AttributedText("8888", tabular)));
    EXPECT_NE(TextLayout::natural(AttributedText("1111", body())), TextLayout::natural(AttributedText("8888", body())));
}

TEST(TextLayout, ParagraphsAreSeparatedBySpacingAndAfterButNothingFollowsTheLast) {
    QUILLMARK_REQUIRE_FONTS();
    TextAttributes spaced = body();
    spaced.paragraph = {Alignment::left, 1.5, 4};
    const double line = TextLayout::height(AttributedText("abc", spaced), 300);
    EXPECT_DOUBLE_EQ(TextLayout::height(AttributedText("abc\ndef", spaced), 300), 2 * line + 1.5 + 4);
    EXPECT_DOUBLE_EQ(TextLayout::height(AttributedText("abc\r\ndef", spaced), 300), 2 * line + 1.5 + 4);
    EXPECT_DOUBLE_EQ(TextLayout::height(AttributedText("abc\n", spaced), 300), line);
    // An empty line is as tall as a line of its font.
    EXPECT_DOUBLE_EQ(TextLayout::height(AttributedText("abc\n\ndef", spaced), 300), 3 * line + 2 * (1.5 + 4));
}

TEST(TextLayout, FittingCountsWholeLinesOnly) {
    QUILLMARK_REQUIRE_FONTS();
    const AttributedText text("first\nsecond\nthird", body());
    const double line = TextLayout::height(AttributedText("first", body()), 300);
    EXPECT_EQ(TextLayout::fitting(text, 300, line - 0.01), 0u);
    EXPECT_EQ(TextLayout::fitting(text, 300, line), 6u);  // "first\n": the line break goes with its line
    EXPECT_EQ(TextLayout::fitting(text, 300, 2 * line + 1.5 - 0.01), 6u);
    EXPECT_EQ(TextLayout::fitting(text, 300, 2 * line + 1.5), 13u);
    EXPECT_EQ(TextLayout::fitting(text, 300, 0), 0u);
    EXPECT_EQ(TextLayout::fitting(text, 300, -5), 0u);
    EXPECT_EQ(TextLayout::fitting(text, 300, NAN), 0u);
    EXPECT_EQ(TextLayout::fitting(text, 300, INFINITY), text.length());
}

TEST(TextLayout, FittingEndsAtAWrappedLineStartInUTF16Units) {
    QUILLMARK_REQUIRE_FONTS();
    // Emoji (two units each) before the cut: the count is in UTF-16 units, not bytes or characters.
    const AttributedText text("😀😀 " + words(30), body());
    const double line = TextLayout::height(AttributedText("x", body()), 120);
    const size_t n = TextLayout::fitting(text, 120, 2 * line + 1.5);
    ASSERT_GT(n, 5u);
    ASSERT_LT(n, text.length());
    // The first line that does not fit starts with a word.
    const std::string rest = text.substring(n, text.length()).string();
    EXPECT_EQ(rest.rfind("word", 0), 0u) << rest;
    EXPECT_EQ(text.substring(0, n).string().back(), ' ');
}

TEST(TextLayout, EverythingFitsInItsOwnHeight) {
    QUILLMARK_REQUIRE_FONTS();
    TextAttributes title = body(34);
    title.font.weight = FontWeight::semibold;
    title.font = title.font.withDesign(FontDesign::serif);
    for (const AttributedText& text : {AttributedText(words(50), body()), AttributedText(words(7), title),
                                       AttributedText("مرحبا بالعالم " + words(9) + " 你好世界 👍🏽", body())}) {
        for (double width : {80.0, 200.0, 504.0}) {
            const double h = TextLayout::height(text, width);
            EXPECT_EQ(TextLayout::fitting(text, width, h), text.length()) << text.string() << " @ " << width;
            EXPECT_LT(TextLayout::fitting(text, width, h - 0.5), text.length()) << text.string() << " @ " << width;
        }
    }
}

TEST(TextLayout, RemeasuringAfterAChangeOfAttributesOrWidthSeesTheChange) {
    QUILLMARK_REQUIRE_FONTS();
    AttributedText text(words(12), body(10));
    const double small = TextLayout::height(text, 200);
    text.setParagraph({Alignment::left, 6, 0});
    const double spaced = TextLayout::height(text, 200);
    EXPECT_GT(spaced, small);
    EXPECT_GT(TextLayout::height(AttributedText(words(12), body(20)), 200), small);
    EXPECT_GT(TextLayout::height(AttributedText(words(12), body(10)), 100), small);
    EXPECT_EQ(TextLayout::height(AttributedText(words(12), body(10)), 200), small);
}

TEST(TextLayout, OtherThreadsMeasureTheSame) {
    QUILLMARK_REQUIRE_FONTS();
    const AttributedText text(words(60) + " 👍 مرحبا 你好", body());
    const double here = TextLayout::height(text, 180);
    const double natural = TextLayout::natural(text);
    std::vector<double> heights(4), naturals(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < heights.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int repeat = 0; repeat < 5; ++repeat) {
                heights[i] = TextLayout::height(text, 180);
                naturals[i] = TextLayout::natural(text);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < heights.size(); ++i) {
        EXPECT_EQ(heights[i], here);
        EXPECT_EQ(naturals[i], natural);
    }
}

TEST(TextLayout, UnusableNumbersDoNotBreakTheLayout) {
    QUILLMARK_REQUIRE_FONTS();
    TextAttributes odd = body();
    odd.font.size = NAN;
    odd.paragraph.lineSpacing = INFINITY;
    odd.color = {NAN, -1, 7, NAN};
    const AttributedText text("abc def", odd);
    EXPECT_GT(TextLayout::height(text, 100), 0);
    EXPECT_GT(TextLayout::height(AttributedText("abc def", body()), 0), 0);
    EXPECT_GT(TextLayout::height(AttributedText("abc def", body()), NAN), 0);
    EXPECT_GT(TextLayout::natural(AttributedText(std::string("a\0b", 3), body())), 0);
}

TEST(Fonts, EmojiRangesCoverSequencesAndLeaveTextAlone) {
    using Ranges = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(Fonts::emojiRanges("Price 10 #1 © ® ™ ♥"), Ranges{});
    EXPECT_EQ(Fonts::emojiRanges("ok 👍🏽!"), (Ranges{{3, 11}}));
    EXPECT_EQ(Fonts::emojiRanges("❤️"), (Ranges{{0, 6}}));
    EXPECT_EQ(Fonts::emojiRanges("☺︎"), Ranges{});  // text presentation selector
    EXPECT_EQ(Fonts::emojiRanges("#️⃣1️⃣"), (Ranges{{0, 14}}));
    EXPECT_EQ(Fonts::emojiRanges("🇩🇪 🇫🇷"), (Ranges{{0, 8}, {9, 17}}));
    const std::string family = "👨‍👩‍👧‍👦";
    EXPECT_EQ(Fonts::emojiRanges("a" + family + "b"), (Ranges{{1, 1 + family.size()}}));
    const std::string scotland = "🏴󠁧󠁢󠁳󠁣󠁴󠁿";
    EXPECT_EQ(Fonts::emojiRanges(scotland), (Ranges{{0, scotland.size()}}));
    EXPECT_EQ(Fonts::emojiRanges(std::string("\xF0\x9F", 2)), Ranges{});  // truncated sequence
}

}  // namespace
}  // namespace quillmark::graphics
