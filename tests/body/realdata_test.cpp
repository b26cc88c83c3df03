// The body decoders against archives and property lists written by Messages itself.
#include <fstream>
#include <map>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "body/attributed_body.h"
#include "body/attributed_body_writer.h"
#include "body/plain_value.h"
#include "body/summary_info.h"
#include "body/typed_stream.h"
#include "body_test_support.h"
#include "core/apple_time.h"
#include "core/text.h"
#include "support/realdata.h"

namespace quillmark {
namespace {

using testing::readBytes;

nlohmann::json readJSON(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

AttributedBody bodyOf(const std::filesystem::path& file) {
    auto body = AttributedBody::decode(readBytes(file));
    if (!body) ADD_FAILURE() << file << " gives no body";
    return body.value_or(AttributedBody{});
}

// The keys of every attribute dictionary of an archived attributed string.
std::set<std::string> attributeKeys(const std::vector<uint8_t>& bytes) {
    std::set<std::string> keys;
    auto root = TypedStream::rootObject(bytes);
    if (!root || !*root) return keys;
    for (const TypedStream::Group& g : (**root)->groups()) {
        if (g.types != "@" || g.values.empty() || !g.values[0].object()) continue;
        const PlainValue v = plainValue(*g.values[0].object());
        if (const auto* d = v.dictionary())
            for (const auto& entry : *d) keys.insert(entry.first);
    }
    return keys;
}

// Every archive that expected.json gives a text for decodes to that text, its UTF-16 length, and runs
// that cover the text without gaps.
TEST(RealArchives, messageAndEditHistoryArchivesDecodeToTheirText) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    const auto expected = readJSON(dir / "typedstream/expected.json");
    int decoded = 0;
    for (const auto& [name, entry] : expected.items()) {
        if (name.rfind("messages/", 0) != 0 && name.rfind("edit-history/", 0) != 0) continue;
        SCOPED_TRACE(name);
        const auto bytes = readBytes(dir / "typedstream" / name);
        if (entry["text"].is_null()) {
            // Damaged or not a message body: any result or failure, but no crash.
            (void)AttributedBody::decode(bytes);
            continue;
        }
        auto body = AttributedBody::decode(bytes);
        ASSERT_TRUE(body);
        ++decoded;
        EXPECT_EQ(body->text, entry["text"].get<std::string>());
        EXPECT_EQ(text::utf16Length(body->text), entry["utf16Length"].get<size_t>());
        int64_t covered = 0;
        for (const auto& run : body->runs) {
            EXPECT_EQ(run.location, covered);
            covered += run.length;
        }
        EXPECT_EQ(covered, static_cast<int64_t>(text::utf16Length(body->text)));

        std::set<std::string> want;
        for (const auto& key : entry["attributeKeys"]) want.insert(key.get<std::string>());
        // The list was read off the bytes by eye and misses one entry: the attribute dictionary of the
        // transcribed audio message counts four entries, the fourth "IMAudioTranscription" -> "This is a test".
        if (name == "messages/Transcription") want.insert("IMAudioTranscription");
        EXPECT_EQ(attributeKeys(bytes), want);
    }
    EXPECT_EQ(decoded, 55);
}

TEST(RealArchives, damagedAndForeignArchivesFailWithoutCrashing) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    // A string declares 157 bytes and far fewer follow.
    auto damaged = TypedStream::decode(readBytes(dir / "typedstream/messages/ExtraData"));
    ASSERT_FALSE(damaged);
    EXPECT_EQ(damaged.error(), TypedStream::Failure::truncated());
    // A custom point class with many back-references: it decodes, but it is not a message body.
    const auto huge = readBytes(dir / "typedstream/messages/HugeWithRefs");
    auto root = TypedStream::rootObject(huge);
    ASSERT_TRUE(root && *root);
    EXPECT_EQ((**root)->className(), "NSMutableArray");
    EXPECT_FALSE(AttributedBody::decode(huge));
}

// Apple's own `text` column beside each archive of a real iOS 13 database: the strongest oracle.
TEST(RealArchives, everyBodyOfTheIOS13DatabaseMatchesItsTextColumn) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    std::ifstream in(dir / "databases/ios13-sms/attributedBody_corpus.jsonl");
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        const auto row = nlohmann::json::parse(line);
        SCOPED_TRACE("rowid " + std::to_string(row["rowid"].get<int64_t>()));
        ++rows;
        auto body = AttributedBody::decode(testing::fromHex(row["attributedBody_hex"].get<std::string>()));
        ASSERT_TRUE(body);
        const std::string column = row["text_column"].get<std::string>();
        // The column keeps the markers and the trailing spaces exactly as the body does.
        EXPECT_EQ(body->text, column);
        const size_t markers = [&] {
            size_t n = 0;
            for (size_t at = 0; (at = column.find(AttributedBody::attachmentMarkerUTF8, at)) != std::string::npos; ++at) ++n;
            return n;
        }();
        EXPECT_EQ(body->attachmentGUIDs().size(), markers);
    }
    EXPECT_EQ(rows, 105);
}

TEST(RealArchives, attributesComeOutOfTheArchivesThatCarryThem) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    const auto messages = dir / "typedstream/messages";

    const auto mention = bodyOf(messages / "Mention");
    ASSERT_EQ(mention.runs.size(), 3u);
    EXPECT_EQ(mention.runs[1].location, 5);
    EXPECT_EQ(mention.runs[1].length, 3);
    EXPECT_EQ(mention.runs[1].mention, "+15558675309");
    EXPECT_EQ(mention.runs[0].mention, std::nullopt);
    EXPECT_EQ(mention.runs[2].partIndex, 0);

    const auto url = bodyOf(messages / "URL");
    ASSERT_FALSE(url.runs.empty());
    EXPECT_EQ(url.runs[0].link, url.text);  // the message is the link

    const auto attachment = bodyOf(messages / "Attachment");
    EXPECT_THAT(attachment.attachmentGUIDs(), ::testing::ElementsAre("at_0_2E5F12C3-E649-48AA-954D-3EA67C016BCC"));
    EXPECT_EQ(attachment.plainText(), "This is how the notes look to me fyi, in case it helps make sense of anything");

    const auto multiPart = bodyOf(messages / "MultiPart");
    EXPECT_THAT(multiPart.attachmentGUIDs(),
                ::testing::ElementsAre("at_0_F0668F79-20C2-49C9-A87F-1B007ABB0CED", "at_2_F0668F79-20C2-49C9-A87F-1B007ABB0CED",
                                       "at_4_F0668F79-20C2-49C9-A87F-1B007ABB0CED"));
    std::vector<int64_t> parts;
    for (const auto& run : multiPart.runs) parts.push_back(run.partIndex.value_or(-1));
    EXPECT_THAT(parts, ::testing::ElementsAre(0, 1, 2, 3, 4, 5));

    // Data detectors carry their results as archived data; the link of a detected URL is still found.
    const auto link = bodyOf(messages / "SingleLink");
    ASSERT_FALSE(link.runs.empty());
    EXPECT_EQ(link.runs[0].link, "https://www.ghacks.net/2020/01/23/lastpass-no-longer-listed-on-the-chrome-web-store/");
}

TEST(RealArchives, ourWriterReproducesAMessagesArchiveByteForByte) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    EXPECT_EQ(AttributedBodyWriter::archive("Noter test"), readBytes(dir / "typedstream/messages/AttributedBodyTextOnly"));
}

TEST(RealArchives, foundationObjectsHaveTheirPlainValues) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    const auto foundation = dir / "typedstream/foundation";
    auto value = [&](const char* name) {
        auto root = TypedStream::rootObject(readBytes(foundation / name));
        if (!root || !*root) {
            ADD_FAILURE() << name << " has no root object";
            return PlainValue();
        }
        return plainValue(***root);
    };
    using D = PlainValue::Dictionary;
    using L = PlainValue::List;
    using B = PlainValue::Bytes;
    EXPECT_EQ(value("NSString"), PlainValue("Hello, world"));
    EXPECT_EQ(value("NSMutableString"), PlainValue("Hello, world"));
    EXPECT_EQ(value("NSAttributedString"), PlainValue("Hello, world"));
    EXPECT_EQ(value("NumberInt"), PlainValue(int64_t{42}));
    EXPECT_EQ(value("NumberInt64"), PlainValue(int64_t{-9000000000}));
    EXPECT_EQ(value("NumberBool"), PlainValue(int64_t{1}));
    EXPECT_EQ(value("NumberFloat"), PlainValue(3.5));
    EXPECT_EQ(value("NumberDouble"), PlainValue(100.5));
    EXPECT_EQ(value("NSData"), PlainValue(B{0xde, 0xad, 0xbe, 0xef, 0x00, 0x7f}));
    EXPECT_EQ(value("NSURL"), PlainValue(URLValue{"https://example.com/path?q=1"}));
    EXPECT_EQ(value("NSURLRelative"), PlainValue(URLValue{"page.html"}));
    EXPECT_EQ(value("NSMutableData"), PlainValue(B{0xde, 0xad, 0xbe, 0xef}));
    EXPECT_EQ(value("NSDate"), PlainValue("<NSDate>"));
    EXPECT_EQ(value("NSDateFractional"), PlainValue("<NSDate>"));
    EXPECT_EQ(value("NSMutableArray"), PlainValue(L{"x", int64_t{2}}));
    EXPECT_EQ(value("NSArray"), PlainValue(L{"a", int64_t{1}, "b"}));
    EXPECT_EQ(value("NSArrayEmpty"), PlainValue(L{}));
    EXPECT_EQ(value("NSArrayWithNull"), PlainValue(L{"x", "<NSNull>", "y"}));
    EXPECT_EQ(value("NSArrayNested"), PlainValue(L{"top", L{int64_t{1}, int64_t{2}}}));
    EXPECT_EQ(value("NSSet"), PlainValue(L{"s2", "s1"}));
    EXPECT_EQ(value("NSMutableSet"), PlainValue(L{"m1"}));
    EXPECT_EQ(value("NSDictionary"), PlainValue(D{{"k1", int64_t{1}}, {"k2", "v"}}));
    EXPECT_EQ(value("NSMutableDictionary"), PlainValue(D{{"key", int64_t{9}}}));
    EXPECT_EQ(value("NSDictionaryNested"),
              PlainValue(D{{"arr", L{int64_t{1}, int64_t{2}}}, {"data", B{1, 2}}, {"num", int64_t{7}}}));
    EXPECT_EQ(value("NestedAttributed"), PlainValue(L{"styled"}));
    EXPECT_EQ(value("NestedData"), PlainValue(L{B{1, 2}, B{3, 4, 5}}));
    EXPECT_EQ(value("NestedStrings"), PlainValue(L{"imm", "mut"}));
    EXPECT_EQ(value("NestedScalars"), PlainValue(L{"<NSDate>", URLValue{"https://example.com/path?q=1"},
                                                   URLValue{"page.html"}, "<NSNull>"}));
    EXPECT_EQ(value("NestedContainers"),
              PlainValue(L{L{int64_t{1}, int64_t{2}}, L{int64_t{3}}, L{}, D{{"k", int64_t{9}}}, D{{"mk", int64_t{8}}},
                           L{"s"}, L{"ms"}}));
}

// Each list's versions are the archives taken out of it into edit-history/ ("<list>__ec_<part>_<index>"),
// read as plain texts, with the dates the list stores (seconds since 2001, read with another parser).
TEST(RealSummaryInfo, eachPropertyListGivesItsHistoryAndRetractedParts) {
    QUILLMARK_REQUIRE_REALDATA(dir);
    const auto archives = readJSON(dir / "typedstream/expected.json");
    const std::map<std::string, std::pair<std::vector<double>, std::vector<int64_t>>> expected{
        {"Deleted", {{}, {0}}},
        {"Edited", {{690513474.2725511, 690513480.4685576, 690513485.9718602, 690513494.0120859}, {}}},
        {"EditedAndDeleted", {{743907180.874287, 743907190.591528}, {}}},
        {"EditedAndUnsent", {{743907435.319, 743907448.889677}, {3}}},
        {"EditedToLink", {{690514004.2710001, 690514772.181738}, {}}},
        {"EditedToLinkAndBack", {{690514809.3340001, 690514819.877687, 690514834.157739}, {}}},
        {"EditedWithFormatting", {{758573156.2279999, 758573166.176796}, {}}},
        {"MultiPartOneDeleted", {{}, {3}}},
    };
    for (const auto& [name, want] : expected) {
        SCOPED_TRACE(name);
        auto info = SummaryInfo::decode(readBytes(dir / "summary-info" / (name + ".plist")));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->retractedParts, want.second);
        std::vector<std::string> texts;
        for (const auto& [key, entry] : archives.items())  // keys are sorted: by part, then by index
            if (key.rfind("edit-history/" + name + "__ec_", 0) == 0) texts.push_back(text::trimmed(entry["text"].get<std::string>()));
        ASSERT_EQ(info->versions.size(), want.first.size());
        ASSERT_EQ(texts.size(), want.first.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(info->versions[i].text, texts[i]);
            ASSERT_TRUE(info->versions[i].date);
            // The stored fraction of a second is kept.
            EXPECT_NEAR(info->versions[i].date->seconds, AppleTime::referenceDate + want.first[i], 1e-6);
        }
    }
}

}  // namespace
}  // namespace quillmark
