// Attributed bodies: runs and their attributes, the derived values, and the writer read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "body/attributed_body.h"
#include "body/attributed_body_writer.h"
#include "body_test_support.h"

namespace quillmark {
namespace {

using Run = AttributedBody::Run;
using testing::ArchiveBuilder;

constexpr std::string_view partKey = "__kIMMessagePartAttributeName";
constexpr std::string_view guidKey = "__kIMFileTransferGUIDAttributeName";
constexpr std::string_view linkKey = "__kIMLinkAttributeName";
constexpr std::string_view mentionKey = "__kIMMentionConfirmedMention";

Run run(int64_t location, int64_t length, std::optional<int64_t> part = std::nullopt,
        std::optional<std::string> guid = std::nullopt, std::optional<std::string> link = std::nullopt,
        std::optional<std::string> mention = std::nullopt) {
    return Run{location, length, part, std::move(guid), std::move(link), std::move(mention)};
}

// Writes a dictionary {partKey: part}.
void partDictionary(ArchiveBuilder& b, int64_t part) {
    b.beginDictionary(1);
    b.string(partKey);
    b.number(part);
    b.end();
}

TEST(AttributedBodyDecoding, onlyAnAttributedStringWithAStringGivesABody) {
    ArchiveBuilder plainString;
    plainString.string("hello");
    EXPECT_FALSE(AttributedBody::decode(plainString.finish()));

    ArchiveBuilder numberFirst;
    numberFirst.beginAttributedString();
    numberFirst.number(5);
    numberFirst.end();
    EXPECT_FALSE(AttributedBody::decode(numberFirst.finish()));

    ArchiveBuilder noGroups;
    noGroups.beginAttributedString();
    noGroups.end();
    EXPECT_FALSE(AttributedBody::decode(noGroups.finish()));
    EXPECT_FALSE(AttributedBody::decode({}));

    // A string and no runs is a body without runs.
    ArchiveBuilder textOnly;
    textOnly.beginAttributedString();
    textOnly.string("hi");
    textOnly.end();
    const auto body = AttributedBody::decode(textOnly.finish());
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, "hi");
    EXPECT_TRUE(body->runs.empty());
}

TEST(AttributedBodyDecoding, runsTakeTheirDictionaryOrTheOneTheyNumber) {
    ArchiveBuilder b;
    b.beginAttributedString();
    b.string("ab\xef\xbf\xbc" "cde");
    b.run(1, 2);
    partDictionary(b, 0);
    b.run(2, 1);
    b.beginDictionary(2);
    b.string(partKey);
    b.number(1);
    b.string(guidKey);
    b.string("at_0_GUID");
    b.end();
    b.run(1, 1);  // repeats dictionary 1 without writing it again
    b.run(7, 1);  // names no known dictionary: no attributes
    b.run(2, 1);
    b.end();
    const auto body = AttributedBody::decode(b.finish());
    ASSERT_TRUE(body);
    EXPECT_THAT(body->runs, ::testing::ElementsAre(run(0, 2, 0), run(2, 1, 1, "at_0_GUID"), run(3, 1, 0), run(4, 1),
                                                   run(5, 1, 1, "at_0_GUID")));
    // A GUID whose marker spans two runs is listed twice.
    EXPECT_THAT(body->attachmentGUIDs(), ::testing::ElementsAre("at_0_GUID", "at_0_GUID"));
}

TEST(AttributedBodyDecoding, attributeValuesOfTheWrongKindAreLeftOut) {
    ArchiveBuilder b;
    b.beginAttributedString();
    b.string("abcd");
    b.run(1, 1);
    b.beginDictionary(3);
    b.string(linkKey);
    b.url("https://example.com/a");
    b.string(mentionKey);
    b.string("+15555550100");
    b.string(partKey);
    b.real(2.0);  // a float part gives none
    b.end();
    b.run(2, 1);
    b.beginDictionary(3);
    b.string(linkKey);
    b.string("plain text link");
    b.string(guidKey);
    b.number(12);  // a number is not a GUID
    b.string(linkKey);
    b.string("the later key wins");
    b.end();
    b.run(3, 2);
    b.beginDictionary(2, "NSMutableDictionary");
    b.number(1);  // a key that is not text is skipped with its value
    b.string("ignored");
    b.string(partKey);
    b.number(3);
    b.end();
    b.end();
    const auto body = AttributedBody::decode(b.finish());
    ASSERT_TRUE(body);
    EXPECT_THAT(body->runs,
                ::testing::ElementsAre(run(0, 1, std::nullopt, std::nullopt, "https://example.com/a", "+15555550100"),
                                       run(1, 1, std::nullopt, std::nullopt, "the later key wins"), run(2, 2, 3)));
}

TEST(AttributedBodyDecoding, malformedAndOverflowingRunsAreSkipped) {
    ArchiveBuilder b;
    b.beginAttributedString();
    b.string("abc");
    b.run(1, -4);  // negative length
    partDictionary(b, 9);
    b.w.beginGroup("i");  // not a run
    b.w.writeInt(2);
    b.run(1, 3);
    partDictionary(b, 0);
    b.w.beginGroup("Ii");  // another type string
    b.w.writeInt(1);
    b.w.writeInt(1);
    // Run lengths are 64-bit numbers; a sum past 2^63 would wrap the locations of every later run, so
    // such a run is treated as damage and skipped.
    b.run(1, INT64_MAX);
    b.run(1, 1);
    b.end();
    const auto body = AttributedBody::decode(b.finish());
    ASSERT_TRUE(body);
    // The dictionary after the skipped run was passed over with it; the valid run takes its own.
    EXPECT_THAT(body->runs, ::testing::ElementsAre(run(0, 3, 0), run(3, 1, 0)));
}

// The writer's other cases (markers beyond the GUIDs, links that do not occur, UTF-16 lengths) are
// covered by the round-trip property test; these pin down what it cannot see.
TEST(AttributedBodyWriting, attachmentAndLinkRunsAsTheSystemReadsThem) {
    const std::vector<std::string> guids{"at_0_GUID"};
    const std::map<std::string, std::string> links{{"b", "mailto:someone@example.com"}};
    const auto bytes = AttributedBodyWriter::archive("a\xef\xbf\xbc" "b", guids, links);
    const auto body = AttributedBody::decode(bytes);
    ASSERT_TRUE(body);
    EXPECT_THAT(body->runs, ::testing::ElementsAre(run(0, 1, 0), run(1, 1, 1, "at_0_GUID"),
                                                   run(2, 1, 0, std::nullopt, "mailto:someone@example.com")));
    EXPECT_EQ(body->plainText(), "ab");
    // The link is archived as a URL object, not as text.
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("NSURL"), std::string::npos);

    // An empty text has no runs; invalid UTF-8 is replaced before archiving, so the runs still cover it.
    EXPECT_TRUE(AttributedBody::decode(AttributedBodyWriter::archive(""))->runs.empty());
    const auto repaired = AttributedBody::decode(AttributedBodyWriter::archive("a\xff" "b"));
    ASSERT_TRUE(repaired);
    EXPECT_EQ(repaired->text, "a\xef\xbf\xbd" "b");
    EXPECT_THAT(repaired->runs, ::testing::ElementsAre(run(0, 3, 0)));
}

}  // namespace
}  // namespace quillmark
