#include "conversations/body_json.h"

#include <gtest/gtest.h>

#include "body/attributed_body_writer.h"
#include "body/typed_stream_writer.h"

namespace quillmark {
namespace {

using BodyJSON::JSON;

TEST(BodyJSON, AttributedBodyGivesTextRunsPlainValueAndTree) {
    const std::string links[] = {"at_0_GUID"};
    const auto bytes = AttributedBodyWriter::archive("\uFFFChi example.com", links, {{"example.com", "https://example.com"}});
    const auto archive = TypedStream::decode(bytes);
    ASSERT_TRUE(archive);
    const JSON json = BodyJSON::archive(*archive);

    const JSON& body = json["attributedBody"];
    EXPECT_EQ(body["text"], "\uFFFChi example.com");
    ASSERT_EQ(body["runs"].size(), 3u);
    EXPECT_EQ(body["runs"][0], (JSON{{"location", 0}, {"length", 1}, {"partIndex", 1}, {"attachmentGUID", "at_0_GUID"},
                                     {"link", nullptr}, {"mention", nullptr}}));
    EXPECT_EQ(body["runs"][2]["link"], "https://example.com");
    EXPECT_EQ(json["plainValue"], "\uFFFChi example.com");

    const JSON& root = json["groups"][0]["values"][0];
    EXPECT_EQ(root["object"], 1);
    EXPECT_EQ(root["classes"][0], "NSMutableAttributedString");
}

// Archives share objects and may contain themselves: every object is written once, then referred to.
TEST(BodyJSON, SharedAndCyclicObjectsBecomeReferences) {
    TypedStream::Writer w;
    w.beginGroup("@");
    const size_t array = w.beginObject({{"NSArray", 0}, {"NSObject", 0}});
    w.beginGroup("i");
    w.writeInt(3);
    w.beginGroup("@");
    w.writeReference(array);  // the array holds itself
    w.beginGroup("@");
    const size_t text = w.beginObject({{"NSString", 1}, {"NSObject", 0}});
    w.beginGroup("+");
    w.writeBytes("shared");
    w.endObject();
    w.beginGroup("@");
    w.writeReference(text);
    w.endObject();
    const auto archive = TypedStream::decode(std::move(w).finish());
    ASSERT_TRUE(archive);

    const JSON json = BodyJSON::archive(*archive);
    EXPECT_TRUE(json["attributedBody"].is_null());
    const JSON& groups = json["groups"][0]["values"][0]["groups"];
    EXPECT_EQ(groups[1]["values"][0], (JSON{{"ref", 1}}));
    EXPECT_EQ(groups[2]["values"][0]["object"], 2);
    EXPECT_EQ(groups[3]["values"][0], (JSON{{"ref", 2}}));
    EXPECT_NO_THROW(ModelJSON::dump(json));
}

TEST(BodyJSON, ValueForms) {
    TypedStream::Writer w;
    w.beginGroup("+");
    w.writeBytes(std::string_view("\xff\x00\x01", 3));
    w.beginGroup("*");
    w.writeCString("c text");
    w.beginGroup("@");
    w.writeNil();
    w.beginGroup("id");
    w.writeInt(-7);
    w.writeDouble(2.5);
    const auto archive = TypedStream::decode(std::move(w).finish());
    ASSERT_TRUE(archive);
    const JSON json = BodyJSON::archive(*archive);
    EXPECT_TRUE(json["plainValue"].is_null());
    EXPECT_EQ(json["groups"][0]["values"][0], (JSON{{"data", "ff0001"}}));
    EXPECT_EQ(json["groups"][1]["values"][0], "c text");
    EXPECT_TRUE(json["groups"][2]["values"][0].is_null());
    EXPECT_EQ(json["groups"][3]["values"], (JSON{-7, 2.5}));
}

TEST(BodyJSON, PlainValuesAndSummary) {
    const PlainValue value(PlainValue::Dictionary{
        {"b", PlainValue(PlainValue::Bytes{0xab})}, {"u", PlainValue(URLValue{"https://x"})},
        {"l", PlainValue(PlainValue::List{PlainValue(int64_t{1}), PlainValue(0.5), PlainValue("t")})}});
    EXPECT_EQ(ModelJSON::dump(BodyJSON::plainValue(value)), R"({"b":{"data":"ab"},"l":[1,0.5,"t"],"u":{"url":"https://x"}})");

    SummaryInfo info;
    info.versions = {{"First", Date{1700000000}}, {"Undated", std::nullopt}};
    info.retractedParts = {0, 3};
    EXPECT_EQ(ModelJSON::dump(BodyJSON::summary(info)),
              R"({"versions":[{"text":"First","date":1700000000000},{"text":"Undated","date":null}],"retractedParts":[0,3]})");
}

}  // namespace
}  // namespace quillmark
