#include "export/layout/text_box.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/text.h"
#include "export/graphics/text_layout.h"
#include "export/graphics/text_rest.h"
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

// Cut after one line: line breaks at the cut go to neither part, a head of only white space is kept as it
// is, and only white space left for the continuation is no cut.
TEST(TextBoxSplit, WhiteSpaceAtTheCut) {
    const struct {
        std::string text, head, tail;
    } cases[] = {{"First line\n\n\nSecond paragraph", "First line", "Second paragraph"},
                 {"   \nword and more words", "   \n", "word and more words"},
                 {"Hello\n \n \n", "", ""}};
    for (const auto& c : cases) {
        auto parts = TextBox::split(body(c.text), 300, linesHeight(1) + 0.5);
        EXPECT_EQ(parts ? parts->first.string() + "|" + parts->second.string() : "", c.head.empty() ? "" : c.head + "|" + c.tail) << c.text;
    }
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


// A long text is cut page by page through the rest of itself; each cut must be the cut of that rest laid
// out anew as a text of its own.
TEST(TextRest, LongTextCutPageByPageAsEachRestLaidOutAnew) {
    AttributedText text;
    for (int i = 0; i < 300; ++i) {
        text.append(body("2024-03-05 18:04:" + std::to_string(10 + i % 50) + " worker[" + std::to_string(i % 7) +
                         "] request " + std::to_string(i) + " finished\n"));
        if (i % 40 == 0) text.append(body("Traceback:\n    at Worker.run(worker.c:12)\n\tat main(main.c:3)\n\n\n"));
        if (i % 60 == 0) text.append(body("😀 Привет שלום עולם 你好，世界 " + paragraph + "\n"));
    }
    std::string longParagraph;
    while (longParagraph.size() < 12000) longParagraph += paragraph + " ";
    text.append(body(longParagraph + "\n"));
    for (int i = 0; i < 200; ++i) text.append(body("line " + std::to_string(i) + " of the tail end\n"));
    const size_t link = text.length() / 3;
    text.setLink(link, 40, "https://example.com/");
    text.setColor(link, 40, Ink::blue);
    ASSERT_GT(text.string().size(), 32u * 1024);

    const double width = 300, height = linesHeight(40) + 0.5;
    graphics::TextRest rest(text);
    int cuts = 0;
    for (; cuts < 500; ++cuts) {
        const AttributedText fresh = rest.text();
        ASSERT_EQ(rest.height(width), graphics::TextLayout::height(fresh, width)) << "cut " << cuts;
        if (fresh.string().find('\n') < 4096) {
            EXPECT_EQ(rest.natural(), graphics::TextLayout::natural(fresh)) << "cut " << cuts;
        }
        auto parts = TextBox::split(rest, width, height);
        auto expected = TextBox::split(fresh, width, height);
        ASSERT_EQ(parts.has_value(), expected.has_value()) << "cut " << cuts;
        if (!parts) break;
        ASSERT_EQ(parts->first, expected->first) << "cut " << cuts;
        ASSERT_EQ(parts->second.text(), expected->second) << "cut " << cuts;
        rest = parts->second;
    }
    EXPECT_GT(cuts, 15);
}

}  // namespace
}  // namespace quillmark
