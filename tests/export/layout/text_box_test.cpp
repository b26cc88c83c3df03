#include "export/layout/text_box.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/text.h"
#include "export/graphics/text_layout.h"
#include "export/layout/ink.h"
#include "export/layout/text_block.h"

namespace quillmark {
namespace {

using graphics::AttributedText;
using graphics::Font;

AttributedText body(std::string_view s) { return Styled::text(s, Font::system(10), Ink::text); }

// The height of n lines of the body style, measured the way the blocks do.
double linesHeight(int n) {
    std::string s = "x";
    for (int i = 1; i < n; ++i) s += "\nx";
    return graphics::TextLayout::height(body(s), 300);
}

const std::string paragraph =
    "The quick brown fox jumps over the lazy dog, and then it runs into the forest where nobody can find "
    "it again. Nobody looked for it anyway, because everyone was busy with the harvest that year. "
    "The harvest was good, the barns were full, and the winter came late.";

bool startsWithWhiteSpace(const std::string& s) {
    std::u16string u = text::toUTF16(s);
    return !u.empty() && TextBox::isWhiteSpaceOrNewline(u.front());
}
bool endsWithWhiteSpace(const std::string& s) {
    std::u16string u = text::toUTF16(s);
    return !u.empty() && TextBox::isWhiteSpaceOrNewline(u.back());
}

TEST(TextBoxSplit, NothingForEmptyTextOrNoHeightOrWhenEverythingFitsOrNoLineFits) {
    EXPECT_FALSE(TextBox::split(AttributedText(), 200, 100));
    EXPECT_FALSE(TextBox::split(body(paragraph), 200, 0));
    EXPECT_FALSE(TextBox::split(body(paragraph), 200, -5));
    EXPECT_FALSE(TextBox::split(body(paragraph), 200, 10000));
    EXPECT_FALSE(TextBox::split(body(paragraph), 200, linesHeight(1) * 0.5));
}

TEST(TextBoxSplit, CutsAfterWholeLinesWithoutWhiteSpaceAtTheCut) {
    for (int lines = 1; lines <= 4; ++lines) {
        auto parts = TextBox::split(body(paragraph), 200, linesHeight(lines) + 0.5);
        ASSERT_TRUE(parts) << lines;
        const auto& [head, tail] = *parts;
        EXPECT_FALSE(endsWithWhiteSpace(head.string())) << head.string();
        EXPECT_FALSE(startsWithWhiteSpace(tail.string())) << tail.string();
        // Nothing but the white space at the cut is lost.
        EXPECT_EQ(head.string() + " " + tail.string(), paragraph);
        // The head fills the lines it was cut for.
        EXPECT_LE(graphics::TextLayout::height(head, 200), linesHeight(lines) + 0.5);
        if (lines > 1) {
            EXPECT_GT(graphics::TextLayout::height(head, 200), linesHeight(lines - 1) + 0.5);
        }
    }
}

TEST(TextBoxSplit, LineBreaksAtTheCutGoToNeitherPart) {
    auto parts = TextBox::split(body("First line\n\n\nSecond paragraph"), 300, linesHeight(1) + 0.5);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->first.string(), "First line");
    EXPECT_EQ(parts->second.string(), "Second paragraph");
}

TEST(TextBoxSplit, OnlyWhiteSpaceLeftForTheContinuationIsNoCut) {
    EXPECT_FALSE(TextBox::split(body("Hello\n \n \n"), 300, linesHeight(1) + 0.5));
}

TEST(TextBoxSplit, HeadOfOnlyWhiteSpaceIsKeptUntrimmed) {
    auto parts = TextBox::split(body("   \nword and more words"), 300, linesHeight(1) + 0.5);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->first.string(), "   \n");
    EXPECT_EQ(parts->second.string(), "word and more words");
}

TEST(TextBoxSplit, AttributesStayOnBothParts) {
    AttributedText text = body("Look at https://example.com/a/very/long/link/that/keeps/going and more");
    text.append(body("\nsecond line in red"));
    text.setColor(text.length() - 18, 18, Ink::red);
    auto parts = TextBox::split(text, 400, linesHeight(1) + 0.5);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->second.string(), "second line in red");
    EXPECT_EQ(parts->second.runs().back().attributes.color, Ink::red);
    EXPECT_EQ(parts->first.runs().front().attributes.color, Ink::text);
}

TEST(TextBoxSplit, EmojiAndOtherScriptsAreCutBetweenCharacters) {
    std::string s;
    for (int i = 0; i < 40; ++i) s += "😀 Привет ";
    auto parts = TextBox::split(body(s), 150, linesHeight(2) + 0.5);
    ASSERT_TRUE(parts);
    EXPECT_TRUE(text::isValidUTF8(parts->first.string()));
    EXPECT_TRUE(text::isValidUTF8(parts->second.string()));
    EXPECT_EQ(parts->first.length() + 1 + parts->second.length(), body(s).length());  // one blank at the cut
}

TEST(TextBlock, EmptyTextTakesNoRoom) { EXPECT_EQ(TextBlock(AttributedText()).height(300), 0); }

TEST(TextBlock, FirstPartFitsTheRoomItWasCutForWhateverItsFraction) {
    TextBlock block(body(paragraph + " " + paragraph));
    for (double available = 30; available < 120; available += 0.35) {
        auto parts = block.split(200, available);
        ASSERT_TRUE(parts) << available;
        EXPECT_LE(parts->head->height(200), available) << available;
    }
}

}  // namespace
}  // namespace quillmark
