// Plain values of archived objects, including graphs that refer to themselves.
#include <chrono>

#include <gtest/gtest.h>

#include "body/attributed_body.h"
#include "body/plain_value.h"
#include "body_test_support.h"

namespace quillmark {
namespace {

using testing::ArchiveBuilder;
using D = PlainValue::Dictionary;
using L = PlainValue::List;

PlainValue rootValue(std::vector<uint8_t> bytes) {
    auto root = TypedStream::rootObject(bytes);
    if (!root || !*root) {
        ADD_FAILURE() << "no root object";
        return {};
    }
    return plainValue(***root);
}

TEST(PlainValue, dictionariesKeepTextKeysAndUnknownClassesAreNamed) {
    ArchiveBuilder dictionary;
    dictionary.beginDictionary(4, "NSMutableDictionary");
    dictionary.string("a");
    dictionary.number(1);
    dictionary.number(2);  // not a text key: skipped with its value
    dictionary.string("x");
    dictionary.string("b");
    dictionary.real(0.25);
    dictionary.string("a");  // a later equal key replaces the earlier one
    dictionary.string("again");
    dictionary.string("lonely key");  // the last key has no value
    dictionary.end();
    EXPECT_EQ(rootValue(dictionary.finish()), PlainValue(D{{"a", "again"}, {"b", 0.25}}));

    ArchiveBuilder unknown;
    unknown.plain("IMPluginPayload");
    EXPECT_EQ(rootValue(unknown.finish()), PlainValue("<IMPluginPayload>"));
}

// An array that contains itself: the conversion stops after 64 levels and names what it did not enter.
TEST(PlainValue, aCyclicGraphIsConvertedToABoundedDepth) {
    ArchiveBuilder b;
    const size_t self = b.beginArray(2);
    b.string("x");
    b.reference(self);
    b.end();
    PlainValue v = rootValue(b.finish());
    int depth = 0;
    const PlainValue* at = &v;
    while (const auto* list = at->list()) {
        ASSERT_EQ(list->size(), 2u);
        EXPECT_EQ((*list)[0], PlainValue("x"));
        at = &(*list)[1];
        ++depth;
    }
    EXPECT_EQ(depth, 64);
    EXPECT_EQ(*at, PlainValue("<NSArray>"));
}

// Back-references let a small archive describe a tree of 2^60 nodes; the conversion gives up after a
// bounded number of objects instead of running out of time and memory.
TEST(PlainValue, anExponentialGraphStopsAfterABoundedNumberOfObjects) {
    ArchiveBuilder b;
    b.w.beginGroup("@");
    size_t previous = b.w.beginObject({{"NSArray", 0}, {"NSObject", 0}});
    b.w.beginGroup("i");
    b.w.writeInt(0);
    b.end();
    for (int level = 0; level < 60; ++level) {
        b.w.beginGroup("@");
        const size_t next = b.w.beginObject({{"NSArray", 0}});
        b.w.beginGroup("i");
        b.w.writeInt(2);
        b.reference(previous);
        b.reference(previous);
        b.end();
        previous = next;
    }
    auto archive = TypedStream::decode(b.finish());
    ASSERT_TRUE(archive);
    const auto start = std::chrono::steady_clock::now();
    const PlainValue v = plainValue(*archive->groups().back().values[0].object());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(v.list());
}

TEST(PlainValue, anAttributedStringThatIsItsOwnStringTerminatesWithoutABody) {
    ArchiveBuilder b;
    const size_t self = b.beginAttributedString();
    b.reference(self);
    b.end();
    EXPECT_FALSE(AttributedBody::decode(b.finish()));
}

}  // namespace
}  // namespace quillmark
