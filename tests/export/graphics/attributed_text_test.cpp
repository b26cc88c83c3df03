#include "export/graphics/attributed_text.h"

#include <gtest/gtest.h>

namespace quillmark::graphics {
namespace {

TextAttributes plain() {
    TextAttributes a;
    a.font = Font::system(10);
    a.color = Color::rgb255(28, 28, 30);
    return a;
}

TextAttributes gray() {
    TextAttributes a = plain();
    a.color = Color::rgb255(107, 107, 112);
    return a;
}

TEST(AttributedText, CountsUTF16UnitsAndMergesEqualRuns) {
    AttributedText t("a😀", plain());
    t.append("é", plain());
    t.append("", gray());  // empty text adds no run
    EXPECT_EQ(t.length(), 4u);
    ASSERT_EQ(t.runs().size(), 1u);
    EXPECT_EQ(t.runs()[0].length, 4u);

    t.append("b", gray());
    ASSERT_EQ(t.runs().size(), 2u);
    EXPECT_EQ(t.runs()[1].location, 4u);
    EXPECT_EQ(t.string(), "a😀éb");
}

TEST(AttributedText, InvalidUTF8BecomesReplacementSoPositionsAgree) {
    AttributedText t(std::string("a\xff" "b"), plain());
    EXPECT_EQ(t.string(), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(t.length(), 3u);
    EXPECT_EQ(t.byteOffset(2), 4u);
}

TEST(AttributedText, ByteOffsetsClampAndNeverSplitASurrogatePair) {
    AttributedText t("a😀b", plain());  // units: a=0, 😀=1..2, b=3
    EXPECT_EQ(t.byteOffset(0), 0u);
    EXPECT_EQ(t.byteOffset(1), 1u);
    EXPECT_EQ(t.byteOffset(2), 1u);  // inside the pair: its start
    EXPECT_EQ(t.byteOffset(3), 5u);
    EXPECT_EQ(t.byteOffset(99), 6u);
}

TEST(AttributedText, SubstringKeepsAttributesAndWholeCharacters) {
    AttributedText t("Hello ", plain());
    t.append("world😀!", gray());

    const AttributedText tail = t.substring(3, t.length());
    EXPECT_EQ(tail.string(), "lo world😀!");
    ASSERT_EQ(tail.runs().size(), 2u);
    EXPECT_EQ(tail.runs()[0].length, 3u);
    EXPECT_EQ(tail.runs()[1].attributes, gray());

    // A cut inside the emoji's surrogate pair moves to the pair's start on both ends.
    EXPECT_EQ(t.substring(0, 12).string(), "Hello world");
    EXPECT_EQ(t.substring(12, t.length()).string(), "😀!");
    EXPECT_EQ(t.substring(0, 12).length() + t.substring(12, t.length()).length(), t.length());

    EXPECT_TRUE(t.substring(5, 5).empty());
    EXPECT_TRUE(t.substring(9, 3).empty());
    EXPECT_EQ(t.substring(0, 1000), t);
}

TEST(AttributedText, ChangingARangeSplitsRunsAndMergesThemBack) {
    AttributedText t("Look at this", plain());
    t.setLink(8, 4, "https://example.com");
    ASSERT_EQ(t.runs().size(), 2u);
    EXPECT_EQ(t.runs()[1].location, 8u);
    EXPECT_EQ(t.runs()[1].attributes.link, "https://example.com");
    EXPECT_EQ(t.runs()[1].attributes.color, plain().color);  // a link alone does not recolour

    t.setUnderline(0, 5, true);
    ASSERT_EQ(t.runs().size(), 3u);
    t.setUnderline(0, 5, false);
    EXPECT_EQ(t.runs().size(), 2u);

    t.setColor(4, 1000, gray().color);  // past the end: clamped
    ASSERT_EQ(t.runs().size(), 3u);
    EXPECT_EQ(t.runs()[1].attributes.color, gray().color);
    EXPECT_EQ(t.runs()[2].attributes.color, gray().color);

    t.setParagraph({Alignment::center, 1.5, 0});
    for (const auto& run : t.runs()) EXPECT_EQ(run.attributes.paragraph.alignment, Alignment::center);

    const AttributedText before = t;
    t.setColor(1000, 5, plain().color);
    t.setColor(size_t(-1), size_t(-1), plain().color);
    EXPECT_EQ(t, before);
}

TEST(AttributedText, RangesInsideASurrogatePairCoverTheWholeCharacter) {
    AttributedText t("x😀y", plain());
    t.setColor(2, 2, gray().color);  // starts in the middle of the pair
    ASSERT_EQ(t.runs().size(), 2u);
    EXPECT_EQ(t.runs()[1].location, 1u);
    EXPECT_EQ(t.runs()[1].length, 3u);
}

TEST(AttributedText, AppendingTextToItselfDoublesIt) {
    AttributedText t("ab", plain());
    t.append("c", gray());
    t.append(t);
    EXPECT_EQ(t.string(), "abcabc");
    EXPECT_EQ(t.runs().size(), 4u);
    EXPECT_EQ(t.length(), 6u);
}

}  // namespace
}  // namespace quillmark::graphics
