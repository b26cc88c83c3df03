#include "core/text.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(Text, UTF16LengthCountsSurrogatePairs) {
    EXPECT_EQ(text::utf16Length(""), 0u);
    EXPECT_EQ(text::utf16Length("a\xF0\x9F\x98\x80"), 3u);          // a😀
    EXPECT_EQ(text::utf16Length("\xEF\xBF\xBC"), 1u);               // U+FFFC
    EXPECT_EQ(text::utf16Length("e\xCC\x81"), 2u);                  // e + combining acute
}

TEST(Text, ConversionsRoundTripAndReplaceDamage) {
    const std::string s = "h\xC3\xA9llo \xF0\x9F\x91\x8D \xD8\xB3\xD9\x84\xD8\xA7\xD9\x85";
    EXPECT_EQ(text::toUTF8(text::toUTF16(s)), s);
    EXPECT_EQ(text::toUTF16("\xFF"), u"\uFFFD");
    EXPECT_EQ(text::toUTF8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(text::validUTF8("ok\xC3"), "ok\xEF\xBF\xBD");
    EXPECT_EQ(text::validUTF8(s), s);
}

TEST(Text, TrimmedRemovesUnicodeWhiteSpaceAndLineBreaks) {
    EXPECT_EQ(text::trimmed(" \t\n hi there \r\n"), "hi there");
    EXPECT_EQ(text::trimmed("\xC2\xA0\xE2\x80\xA8x\xE3\x80\x80"), "x");  // NBSP, LINE SEPARATOR, ideographic space
    EXPECT_EQ(text::trimmed("   "), "");
    EXPECT_EQ(text::trimmed("\xEF\xBF\xBC"), "\xEF\xBF\xBC");  // U+FFFC is not white space
}

TEST(Text, IsValidUTF8FindsDamageAnywhereInLongText) {
    const std::string ascii(37, 'a');
    EXPECT_TRUE(text::isValidUTF8(ascii));
    EXPECT_TRUE(text::isValidUTF8(ascii + "\xF0\x9F\x98\x80" + ascii));
    EXPECT_TRUE(text::isValidUTF8(""));
    // A damaged byte at every position, so that both the eight-byte stride and the byte-wise tail see one.
    for (size_t at = 0; at <= ascii.size(); ++at) {
        std::string damaged(ascii, 0, at);
        damaged += '\xC3';
        damaged.append(ascii, at);
        EXPECT_FALSE(text::isValidUTF8(damaged)) << at;
        EXPECT_EQ(text::validUTF8(damaged).size(), ascii.size() + 3) << at;
    }
    EXPECT_FALSE(text::isValidUTF8("\xED\xA0\x80"));  // an encoded surrogate
}

}  // namespace
}  // namespace quillmark
