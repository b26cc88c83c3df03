// The typedstream reader on hand-made archives: each encoding, each failure, shared objects and cycles.
#include <chrono>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "body/typed_stream.h"
#include "body/typed_stream_writer.h"
#include "body_test_support.h"

namespace quillmark {
namespace {

using TypedStream::Failure;
using TypedStream::Value;
using testing::append;
using testing::header;
using testing::oneGroup;

TypedStream::Archive decoded(const std::vector<uint8_t>& bytes) {
    auto archive = TypedStream::decode(bytes);
    if (!archive) {
        ADD_FAILURE() << archive.error().description();
        return {};
    }
    return *archive;
}

Failure failure(const std::vector<uint8_t>& bytes) {
    auto archive = TypedStream::decode(bytes);
    if (archive) {
        ADD_FAILURE() << "decoded, expected a failure";
        return {};
    }
    return archive.error();
}

// The only value of an archive of one group.
Value onlyValue(const TypedStream::Archive& archive) {
    if (archive.groups().size() != 1 || archive.groups()[0].values.size() != 1) {
        ADD_FAILURE() << "expected one group with one value";
        return {};
    }
    return archive.groups()[0].values[0];
}

std::vector<uint8_t> floatBytes(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits >> 16),
            static_cast<uint8_t>(bits >> 24)};
}

TEST(TypedStreamHeader, acceptsVersions3And4AndRejectsEverythingElse) {
    EXPECT_EQ(failure({}), Failure::truncated());
    EXPECT_TRUE(decoded(header()).groups().empty());

    auto v3 = header();
    v3[0] = 3;
    EXPECT_TRUE(TypedStream::decode(v3));
    auto v5 = header();
    v5[0] = 5;
    EXPECT_EQ(failure(v5), Failure::badHeader());
    auto length = header();
    length[1] = 10;
    EXPECT_EQ(failure(length), Failure::badHeader());
    auto signature = header();
    signature[2] = 'S';
    EXPECT_EQ(failure(signature), Failure::badHeader());
    EXPECT_EQ(failure({0x04, 0x0b, 's', 't', 'r'}), Failure::truncated());
    EXPECT_EQ(failure({0x04, 0x85}), Failure::badTag(0x85, 1));
}

TEST(TypedStreamIntegers, readEveryTaggedForm) {
    const struct {
        std::initializer_list<int> bytes;
        int64_t value;
    } cases[] = {
        {{0x00}, 0},
        {{0x7f}, 127},
        {{0x80}, -128},
        {{0x88}, -120},
        {{0xff}, -1},
        {{0x81, 0xff, 0xff}, -1},
        {{0x81, 0x00, 0x80}, -32768},
        {{0x82, 0x00, 0x00, 0x00, 0x80}, INT32_MIN},
        {{0x87, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, -1},
        {{0x87, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f}, INT64_MAX},
    };
    for (const auto& c : cases) {
        const auto archive = decoded(oneGroup("i", c.bytes));
        EXPECT_EQ(onlyValue(archive).asInt(), c.value);
    }
    // Every declared width reads the same way.
    EXPECT_EQ(onlyValue(decoded(oneGroup("Q", {0x81, 0x34, 0x12}))).asInt(), 0x1234);
    EXPECT_EQ(onlyValue(decoded(oneGroup("B", {0x01}))).asInt(), 1);
}

TEST(TypedStreamIntegers, tagsThatCannotStartAnIntegerFailWithTheirOffset) {
    // The value's tag is the byte right after the 16-byte header and the 3-byte type string "i".
    for (int tag : {0x83, 0x84, 0x85, 0x86}) EXPECT_EQ(failure(oneGroup("i", {tag})), Failure::badTag(static_cast<uint8_t>(tag), 19));
    EXPECT_EQ(failure(oneGroup("i", {0x81, 0x01})), Failure::truncated());
    EXPECT_EQ(failure(oneGroup("i", {})), Failure::truncated());
}

TEST(TypedStreamReals, readFloatsDoublesAndIntegerTaggedReals) {
    auto f = oneGroup("f", {0x83});
    for (uint8_t b : floatBytes(1.5f)) f.push_back(b);
    EXPECT_EQ(onlyValue(decoded(f)).asDouble(), 1.5);
    EXPECT_EQ(onlyValue(decoded(oneGroup("d", {0x05}))).asDouble(), 5.0);
    EXPECT_EQ(onlyValue(decoded(oneGroup("d", {0x81, 0x73, 0x04}))).asDouble(), 1139.0);
    EXPECT_EQ(onlyValue(decoded(oneGroup("d", {0x83, 0, 0, 0, 0, 0, 0x20, 0x59, 0x40}))).asDouble(), 100.5);
    EXPECT_EQ(failure(oneGroup("d", {0x83, 0, 0})), Failure::truncated());
}

TEST(TypedStreamValues, intValueRoundsDoublesHalfAwayFromZeroWithinRange) {
    auto real = [](double d) {
        std::vector<uint8_t> bytes = oneGroup("d", {0x83});
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        return onlyValue(decoded(bytes)).intValue();
    };
    EXPECT_EQ(real(2.5), 3);
    EXPECT_EQ(real(-2.5), -3);
    EXPECT_EQ(real(2.4), 2);
    EXPECT_EQ(real(-9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(real(9223372036854775808.0), std::nullopt);
    EXPECT_EQ(real(std::nan("")), std::nullopt);
    EXPECT_EQ(onlyValue(decoded(oneGroup("v", {}))).intValue(), std::nullopt);
}

TEST(TypedStreamArrays, byteArraysBecomeOneByteStringOtherArraysAList) {
    const auto bytes = decoded(oneGroup("[4c]", {1, 2, 3, 4}));
    EXPECT_EQ(onlyValue(bytes).asBytes(), std::string_view("\x01\x02\x03\x04", 4));
    EXPECT_EQ(onlyValue(decoded(oneGroup("[2C]", {9, 8}))).kind(), Value::Kind::bytes);

    const auto ints = decoded(oneGroup("[2i]", {0x05, 0xff}));
    const auto list = onlyValue(ints).asArray();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[0].asInt(), 5);
    EXPECT_EQ((*list)[1].asInt(), -1);

    EXPECT_EQ(onlyValue(decoded(oneGroup("[0i]", {}))).asArray()->size(), 0u);
    EXPECT_EQ(failure(oneGroup("[16777216c]", {})), Failure::truncated());
    EXPECT_EQ(failure(oneGroup("[99999999999999999999999i]", {})), Failure::truncated());
    EXPECT_EQ(failure(oneGroup("[8c]", {1, 2})), Failure::truncated());
    EXPECT_EQ(failure(oneGroup("[2i", {1, 2})), Failure::badType("[2i"));
}

TEST(TypedStreamStructures, readEveryMemberInOrder) {
    const auto point = decoded(oneGroup("{CGPoint=dd}", {0x01, 0x02}));
    const auto members = onlyValue(point).asArray();
    ASSERT_TRUE(members && members->size() == 2);
    EXPECT_EQ((*members)[1].asDouble(), 2.0);

    EXPECT_EQ(onlyValue(decoded(oneGroup("{Opaque}", {}))).asArray()->size(), 0u);

    const auto nested = decoded(oneGroup("{A={B=ii}i}", {1, 2, 3}));
    const auto outer = onlyValue(nested).asArray();
    ASSERT_TRUE(outer && outer->size() == 2);
    const auto inner = (*outer)[0].asArray();
    ASSERT_TRUE(inner && inner->size() == 2);
    EXPECT_EQ((*inner)[1].asInt(), 2);
    EXPECT_EQ((*outer)[1].asInt(), 3);

    // A union is read like a structure: every member in turn.
    EXPECT_EQ(onlyValue(decoded(oneGroup("(U=ic)", {7, 8}))).asArray()->size(), 2u);
    EXPECT_EQ(failure(oneGroup("{A=i", {1})), Failure::badType("{A=i"));
}

TEST(TypedStreamTypes, qualifiersAreSkippedAndUnknownTypesFail) {
    EXPECT_EQ(onlyValue(decoded(oneGroup("rNi", {0x07}))).asInt(), 7);
    EXPECT_EQ(failure(oneGroup("r", {})), Failure::badType("r"));
    EXPECT_EQ(failure(oneGroup("x", {})), Failure::badType("x"));
    EXPECT_EQ(failure(oneGroup("\xe9", {})), Failure::badType("\xc3\xa9"));  // the byte as U+00E9
    EXPECT_TRUE(onlyValue(decoded(oneGroup("v", {}))).isNull());

    auto nilTypes = header();
    append(nilTypes, {0x85});
    EXPECT_EQ(failure(nilTypes), Failure::badType("nil"));

    // A group's type string is text: invalid UTF-8 in it (here in a structure's name) is replaced.
    EXPECT_EQ(decoded(oneGroup("{\xff}", {})).groups()[0].types, "{\xef\xbf\xbd}");
}

TEST(TypedStreamTypes, textValuesSelectorsAndClasses) {
    // "*" then a new C string "hi"; ":" then a new selector "go"; "#" then a new class "K" without superclass.
    const auto archive = decoded(oneGroup("*:#", {0x84, 0x84, 0x02, 'h', 'i', 0x84, 0x02, 'g', 'o', 0x84, 0x84, 0x01, 'K', 0x00, 0x85}));
    ASSERT_EQ(archive.groups().size(), 1u);
    const auto values = archive.groups()[0].values;
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].asCString(), "hi");
    EXPECT_EQ(values[1].asSelector(), "go");
    EXPECT_EQ(values[2].asClassName(), "K");
    // Nil C string, selector and class give null.
    const auto nils = decoded(oneGroup("*:#", {0x85, 0x85, 0x85}));
    for (const Value& v : nils.groups()[0].values) EXPECT_TRUE(v.isNull());
    // A new class must have a name.
    EXPECT_EQ(failure(oneGroup("#", {0x84, 0x85})), Failure::badType("class"));
}

TEST(TypedStreamSharing, stringsClassesAndCStringsAreReferredBack) {
    // Two groups "*": the second type string and the second C string are references (0x92, 0x92 + 0).
    const auto archive = decoded([] {
        auto b = oneGroup("*", {0x84, 0x84, 0x01, 'q'});
        append(b, {0x92, 0x92});
        return b;
    }());
    ASSERT_EQ(archive.groups().size(), 2u);
    EXPECT_EQ(archive.groups()[1].types, "*");
    EXPECT_EQ(archive.groups()[1].values[0].asCString(), "q");

    // Objects sharing a class: the second object's chain is the first one's whole chain.
    TypedStream::Writer w;
    w.beginGroup("@");
    w.beginObject({{"NSMutableString", 1}, {"NSString", 1}, {"NSObject", 0}});
    w.endObject();
    w.beginGroup("@");
    w.beginObject({{"NSString", 1}});
    w.endObject();
    const auto shared = decoded(std::move(w).finish());
    ASSERT_EQ(shared.groups().size(), 2u);
    const auto* second = shared.groups()[1].values[0].object();
    ASSERT_TRUE(second);
    EXPECT_EQ(std::vector<std::string_view>(second->classChain().begin(), second->classChain().end()),
              (std::vector<std::string_view>{"NSString", "NSObject"}));
    EXPECT_TRUE(second->isKind("NSObject"));
    EXPECT_FALSE(second->isKind("NSMutableString"));
    EXPECT_EQ(second->className(), "NSString");
}

TEST(TypedStreamSharing, badReferencesFail) {
    // 0x92 into an empty shared-string table.
    auto noStrings = header();
    append(noStrings, {0x92});
    EXPECT_EQ(failure(noStrings), Failure::badReference(0));
    // A reference into the shared table that names a class where an object is expected.
    TypedStream::Writer w;
    w.beginGroup("@");
    w.beginObject({{"A", 0}});  // object 0, class 1
    w.endObject();
    w.beginGroup("@");
    w.writeReference(1);
    EXPECT_EQ(failure(std::move(w).finish()), Failure::badReference(1));
    // The same for a C string reference naming an object.
    TypedStream::Writer c;
    c.beginGroup("@");
    c.beginObject({{"A", 0}});
    c.endObject();
    c.beginGroup("*");
    c.writeReference(0);
    EXPECT_EQ(failure(std::move(c).finish()), Failure::badReference(0));
    // References written with the 0x83 or 0x86 tag are not integers.
    auto real = oneGroup("@", {0x83});
    EXPECT_EQ(failure(real), Failure::badTag(0x83, 19));
    // An index beyond 2^31 - 2, and one whose computation overflows.
    EXPECT_EQ(failure(oneGroup("@", {0x82, 0xff, 0xff, 0xff, 0x7f})), Failure::badReference(2147483647 + 110LL));
    EXPECT_EQ(failure(oneGroup("@", {0x87, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f})).kind, Failure::Kind::badReference);
}

TEST(TypedStreamObjects, anObjectThatContainsItselfIsTheSameObject) {
    TypedStream::Writer w;
    w.beginGroup("@");
    const size_t self = w.beginObject({{"Loop", 0}});
    w.beginGroup("@");
    w.writeReference(self);
    w.endObject();
    const auto archive = decoded(std::move(w).finish());
    const TypedStream::Object* outer = onlyValue(archive).object();
    ASSERT_TRUE(outer);
    ASSERT_EQ(outer->groups().size(), 1u);
    EXPECT_EQ(outer->groups()[0].values[0].object(), outer);
}

TEST(TypedStreamObjects, anObjectMustEndBeforeTheArchiveDoes) {
    TypedStream::Writer w;
    w.beginGroup("@");
    w.beginObject({{"Open", 0}});
    w.beginGroup("i");
    w.writeInt(1);
    EXPECT_EQ(failure(std::move(w).finish()), Failure::truncated());
}

std::vector<uint8_t> nestedObjects(int levels) {
    TypedStream::Writer w;
    for (int i = 0; i < levels; ++i) {
        w.beginGroup("@");
        w.beginObject({{"Box", 0}});
    }
    for (int i = 0; i < levels; ++i) w.endObject();
    return std::move(w).finish();
}

TEST(TypedStreamObjects, nestingIsLimitedTo63Objects) {
    EXPECT_TRUE(TypedStream::decode(nestedObjects(63)));
    EXPECT_EQ(failure(nestedObjects(64)), Failure::tooDeep());
    // Arrays nest values one level each: the element of 63 nested arrays is the deepest value allowed.
    auto nestedArrays = [](int levels) {
        std::string types;
        for (int i = 0; i < levels; ++i) types += "[1";
        types += "i" + std::string(static_cast<size_t>(levels), ']');
        return oneGroup(types, {1});
    };
    EXPECT_TRUE(TypedStream::decode(nestedArrays(63)));
    EXPECT_EQ(failure(nestedArrays(64)), Failure::tooDeep());
}

TEST(TypedStreamObjects, rootObjectIsTheFirstObjectOfTheTopLevelGroups) {
    TypedStream::Writer w;
    w.beginGroup("i");
    w.writeInt(5);
    w.beginGroup("[1@]");  // an object inside an array is not searched
    w.beginObject({{"Hidden", 0}});
    w.endObject();
    w.beginGroup("@");
    w.beginObject({{"Root", 0}});
    w.endObject();
    auto root = TypedStream::rootObject(std::move(w).finish());
    ASSERT_TRUE(root && *root);
    EXPECT_EQ((**root)->className(), "Root");

    auto none = TypedStream::rootObject(oneGroup("i", {1}));
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
    EXPECT_FALSE(TypedStream::rootObject({}));
}

TEST(TypedStreamObjects, anObjectRefKeepsItsArchiveAlive) {
    std::optional<TypedStream::ObjectRef> kept;
    {
        TypedStream::Writer w;
        w.beginGroup("@");
        w.beginObject({{"Kept", 0}});
        w.beginGroup("+");
        w.writeBytes("payload");
        w.endObject();
        auto root = TypedStream::rootObject(std::move(w).finish());
        ASSERT_TRUE(root && *root);
        kept = **root;
    }
    // Under AddressSanitizer a dangling arena would fail here.
    EXPECT_EQ((*kept)->className(), "Kept");
    EXPECT_EQ((*kept)->groups()[0].values[0].asBytes(), "payload");
}

// Faults found in the reader as specified, each fixed and kept here.

TEST(TypedStreamBounds, arraysOfValuesThatOccupyNoBytesStopInsteadOfRunningForHours) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failure(oneGroup("[16777215v]", {})), Failure::truncated());
    EXPECT_EQ(failure(oneGroup("[16777215[16777215{E}]]", {})), Failure::truncated());
    // A long structure type rescanned for every element of a large array.
    std::string types = "[16777215{" + std::string(200, 'X') + "}]";
    EXPECT_EQ(failure(oneGroup(types, {})), Failure::truncated());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // Sound archives with many small values are untouched.
    std::vector<uint8_t> many = oneGroup("[60000i]", {});
    many.resize(many.size() + 60000, 0x01);
    EXPECT_EQ(onlyValue(decoded(many)).asArray()->size(), 60000u);
}

TEST(TypedStreamBounds, aVeryLongClassChainIsReadWithoutRecursion) {
    // 100,000 new classes, each the superclass of the one before: a recursive reader overflows its stack.
    TypedStream::Writer w;
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back("C" + std::to_string(i));
    std::vector<TypedStream::Writer::Class> chain;
    for (const auto& n : names) chain.push_back({n, 0});
    w.beginGroup("@");
    w.beginObject(chain);
    w.endObject();
    const auto archive = decoded(std::move(w).finish());
    const auto* object = onlyValue(archive).object();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->classChain().size(), 100000u);
    EXPECT_TRUE(object->isKind("C99999"));
}

TEST(TypedStreamWriter, integersOfEveryWidthReadBack) {
    const int64_t values[] = {INT64_MIN, INT32_MIN - 1LL, INT32_MIN, -32769, -32768, -129, -128, -127, -121, -120,
                              -111, -110, -1, 0, 1, 127, 128, 255, 32767, 32768, INT32_MAX, INT32_MAX + 1LL, INT64_MAX};
    TypedStream::Writer w;
    for (int64_t v : values) {
        w.beginGroup("q");
        w.writeInt(v);
    }
    const auto archive = decoded(std::move(w).finish());
    ASSERT_EQ(archive.groups().size(), std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(archive.groups()[i].values[0].asInt(), values[i]);
}

TEST(TypedStreamWriter, referencesBeyondTheOneByteRangeResolve) {
    // 300 objects of 300 classes push both tables past the indexes a single byte can name.
    TypedStream::Writer w;
    std::vector<size_t> indexes;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "K" + std::to_string(i);
        w.beginGroup("@");
        indexes.push_back(w.beginObject({{name, i}}));
        w.endObject();
    }
    for (int i : {0, 127, 128, 250, 299}) {
        w.beginGroup("@");
        w.writeReference(indexes[static_cast<size_t>(i)]);
    }
    const auto archive = decoded(std::move(w).finish());
    ASSERT_EQ(archive.groups().size(), 305u);
    int k = 300;
    for (int i : {0, 127, 128, 250, 299}) {
        EXPECT_EQ(archive.groups()[static_cast<size_t>(k)].values[0].object(),
                  archive.groups()[static_cast<size_t>(i)].values[0].object());
        ++k;
    }
    EXPECT_EQ(archive.groups()[299].values[0].object()->className(), "K299");
}

TEST(TypedStreamFailure, descriptionsNameWhatWentWrong) {
    EXPECT_EQ(Failure::badTag(0x85, 42).description(), "unexpected tag 0x85 where an integer was expected, at offset 42");
    EXPECT_NE(Failure::badReference(3).description().find("3"), std::string::npos);
    EXPECT_NE(Failure::badType("x").description().find("\"x\""), std::string::npos);
    EXPECT_NE(Failure::badTag(1, 2), Failure::badTag(1, 3));
    EXPECT_NE(Failure::truncated(), Failure::tooDeep());
}

}  // namespace
}  // namespace quillmark
