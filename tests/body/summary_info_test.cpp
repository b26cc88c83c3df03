// The summary property list: edit history and retracted parts, read from XML and binary lists, and the
// writer read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "body/attributed_body_writer.h"
#include "body/summary_info.h"
#include "body_test_support.h"
#include "core/apple_time.h"

namespace quillmark {
namespace {

std::optional<SummaryInfo> fromXML(const std::string& body) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
    return SummaryInfo::decode({reinterpret_cast<const uint8_t*>(xml.data()), xml.size()});
}

std::vector<std::string> texts(const SummaryInfo& info) {
    std::vector<std::string> out;
    for (const auto& v : info.versions) out.push_back(v.text);
    return out;
}

Date appleSeconds(double s) { return Date{AppleTime::referenceDate + s}; }

TEST(SummaryInfoReading, partsAreTakenInNumericOrderWithOtherKeysAsZero) {
    const auto info = fromXML(R"(<dict><key>ec</key><dict>
        <key>10</key><array><dict><key>t</key><string>ten</string></dict></array>
        <key>2</key><array><dict><key>t</key><string>two</string></dict></array>
        <key>+1</key><array><dict><key>t</key><string>one</string></dict><dict><key>t</key><string>one again</string></dict></array>
        <key>part</key><array><dict><key>t</key><string>not a number</string></dict></array>
        <key>-3</key><array><dict><key>t</key><string>minus three</string></dict></array>
        <key>99999999999999999999</key><array><dict><key>t</key><string>out of range</string></dict></array>
        <key>4</key><string>not a list</string>
        <key>5</key><array><string>not a dictionary</string><dict><key>x</key><string>no text</string></dict></array>
    </dict></dict>)");
    ASSERT_TRUE(info);
    EXPECT_THAT(texts(*info), ::testing::ElementsAre("minus three", "not a number", "out of range", "one", "one again",
                                                     "two", "", "ten"));
    EXPECT_TRUE(info->retractedParts.empty());
}

TEST(SummaryInfoReading, textsArePlainTextsOfArchivesOrTextAsItIs) {
    const std::vector<EditVersion> archived{{"  leading spaces\xef\xbf\xbc", std::nullopt}};
    EXPECT_THAT(texts(*SummaryInfo::decode(SummaryInfo::encode(archived, {}))), ::testing::ElementsAre("leading spaces"));

    const auto info = fromXML("<dict><key>ec</key><dict><key>0</key><array>"
                              "<dict><key>t</key><data>AAECAw==</data></dict>"
                              "<dict><key>t</key><string>  kept as is </string></dict>"
                              "<dict><key>t</key><integer>5</integer></dict>"
                              "</array></dict></dict>");
    ASSERT_TRUE(info);
    EXPECT_THAT(texts(*info), ::testing::ElementsAre("", "  kept as is ", ""));
}

TEST(SummaryInfoReading, datesAreSecondsOrNanosecondsSince2001OrDates) {
    const auto info = fromXML(R"(<dict><key>ec</key><dict><key>0</key><array>
        <dict><key>d</key><integer>0</integer></dict>
        <dict><key>d</key><integer>700000000</integer></dict>
        <dict><key>d</key><integer>700000000000000000</integer></dict>
        <dict><key>d</key><integer>-5</integer></dict>
        <dict><key>d</key><real>690513474.2725511</real></dict>
        <dict><key>d</key><real>690513474272551100</real></dict>
        <dict><key>d</key><date>2023-03-08T20:26:40Z</date></dict>
        <dict><key>d</key><string>yesterday</string></dict>
    </array></dict></dict>)");
    ASSERT_TRUE(info);
    ASSERT_EQ(info->versions.size(), 8u);
    EXPECT_EQ(info->versions[0].date, std::nullopt);
    EXPECT_EQ(info->versions[1].date, appleSeconds(700000000));
    EXPECT_EQ(info->versions[2].date, appleSeconds(700000000));
    EXPECT_EQ(info->versions[3].date, appleSeconds(-5));  // libplist's unsigned integers read by meaning
    // Messages stores these dates as reals; the fraction of a second is kept.
    ASSERT_TRUE(info->versions[4].date);
    EXPECT_NEAR(info->versions[4].date->seconds, appleSeconds(690513474.2725511).seconds, 1e-6);
    ASSERT_TRUE(info->versions[5].date);
    EXPECT_NEAR(info->versions[5].date->seconds, appleSeconds(690513474.2725511).seconds, 1e-6);
    EXPECT_EQ(info->versions[6].date, appleSeconds(700000000));
    EXPECT_EQ(info->versions[7].date, std::nullopt);
    for (const auto& v : info->versions) EXPECT_EQ(v.text, "");
}

TEST(SummaryInfoReading, retractedPartsAreTheNumbersOfTheList) {
    const auto info = fromXML(R"(<dict><key>rp</key><array><integer>1</integer><string>2</string><integer>2</integer>
        <integer>-1</integer><real>3.0</real><true/></array></dict>)");
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->versions.empty());
    EXPECT_THAT(info->retractedParts, ::testing::ElementsAre(1, 2, -1, 3));

    const auto notAList = fromXML("<dict><key>rp</key><integer>1</integer><key>ec</key><array/></dict>");
    ASSERT_TRUE(notAList);
    EXPECT_EQ(*notAList, SummaryInfo{});
}

TEST(SummaryInfoReading, onlyADictionaryGivesAValue) {
    EXPECT_FALSE(SummaryInfo::decode({}));
    EXPECT_FALSE(fromXML("<array><integer>1</integer></array>"));
    EXPECT_FALSE(fromXML("<dict><key>ec</key>"));
    const std::string garbage = "bplist00 this is not a property list";
    EXPECT_FALSE(SummaryInfo::decode({reinterpret_cast<const uint8_t*>(garbage.data()), garbage.size()}));
    EXPECT_FALSE(SummaryInfo::decode(AttributedBodyWriter::archive("a typedstream")));
    const auto empty = fromXML("<dict/>");
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, SummaryInfo{});
}

TEST(SummaryInfoWriting, encodedHistoryReadsBackToTheNanosecond) {
    const Date when = Date{AppleTime::referenceDate + 700000000.123456789};
    const std::vector<EditVersion> versions{{"  first \xf0\x9f\x98\x80", when}, {"second", std::nullopt}};
    const std::vector<int64_t> retracted{2, -1};
    const auto bytes = SummaryInfo::encode(versions, retracted);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "bplist00");
    const auto info = SummaryInfo::decode(bytes);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->versions.size(), 2u);
    EXPECT_EQ(info->versions[0].text, "first \xf0\x9f\x98\x80");  // the plain text: trimmed
    ASSERT_TRUE(info->versions[0].date);
    EXPECT_EQ(AppleTime::raw(*info->versions[0].date), AppleTime::raw(when));
    EXPECT_EQ(info->versions[1], (EditVersion{"second", std::nullopt}));
    EXPECT_EQ(info->retractedParts, retracted);

    const auto nothing = SummaryInfo::decode(SummaryInfo::encode({}, {}));
    ASSERT_TRUE(nothing);
    EXPECT_EQ(*nothing, SummaryInfo{});
}

}  // namespace
}  // namespace quillmark
