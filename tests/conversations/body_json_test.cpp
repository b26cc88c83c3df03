#include "conversations/body_json.h"

#include <gtest/gtest.h>

#include "body/typed_stream_writer.h"

namespace quillmark {
namespace {

using BodyJSON::JSON;

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

TEST(BodyJSON, PlainValues) {
    const PlainValue value(PlainValue::Dictionary{
        {"b", PlainValue(PlainValue::Bytes{0xab})}, {"u", PlainValue(URLValue{"https://x"})},
        {"l", PlainValue(PlainValue::List{PlainValue(int64_t{1}), PlainValue(0.5), PlainValue("t")})}});
    EXPECT_EQ(ModelJSON::dump(BodyJSON::plainValue(value)), R"({"b":{"data":"ab"},"l":[1,0.5,"t"],"u":{"url":"https://x"}})");
}

}  // namespace
}  // namespace quillmark
