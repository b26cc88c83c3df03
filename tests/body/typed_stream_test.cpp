// The typedstream reader on hand-made archives: each encoding, each failure, shared objects and cycles.
#include <chrono>
#include <functional>
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
using TypedStream::Writer;
using testing::append;
using testing::header;
using testing::oneGroup;

// The only value of an archive of one group; fails the test when the archive does not decode.
Value onlyValue(const std::vector<uint8_t>& bytes, TypedStream::Archive& keep) {
    auto archive = TypedStream::decode(bytes);
    if (!archive) {
        ADD_FAILURE() << archive.error().description();
        return {};
    }
    keep = *archive;
    if (keep.groups().size() != 1 || keep.groups()[0].values.size() != 1) {
        ADD_FAILURE() << "expected one group with one value";
        return {};
    }
    return keep.groups()[0].values[0];
}

std::vector<uint8_t> written(const std::function<void(Writer&)>& write) {
    Writer w;
    write(w);
    return std::move(w).finish();
}

std::vector<uint8_t> nestedObjects(int levels) {
    return written([&](Writer& w) {
        for (int i = 0; i < levels; ++i) {
            w.beginGroup("@");
            w.beginObject({{"Box", 0}});
        }
        for (int i = 0; i < levels; ++i) w.endObject();
    });
}

std::vector<uint8_t> nestedArrays(int levels) {
    std::string types;
    for (int i = 0; i < levels; ++i) types += "[1";
    return oneGroup(types + "i" + std::string(static_cast<size_t>(levels), ']'), {1});
}

std::vector<uint8_t> withHeaderByte(size_t at, uint8_t byte) {
    auto bytes = header();
    bytes[at] = byte;
    return bytes;
}

TEST(TypedStreamReader, everyMalformedArchiveFailsWithItsReason) {
    auto nilTypes = header();
    append(nilTypes, {0x85});
    auto stringReference = header();
    append(stringReference, {0x92});
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        Failure failure;
    } cases[] = {
        {"empty", {}, Failure::truncated()},
        {"version 5", withHeaderByte(0, 5), Failure::badHeader()},
        {"signature length 10", withHeaderByte(1, 10), Failure::badHeader()},
        {"another signature", withHeaderByte(2, 'S'), Failure::badHeader()},
        {"nil where the signature length stands", {0x04, 0x85}, Failure::badTag(0x85, 1)},
        // The value's tag is the byte after the 16-byte header and the 3 bytes of the type string "i".
        {"real tag as integer", oneGroup("i", {0x83}), Failure::badTag(0x83, 19)},
        {"nil tag as integer", oneGroup("i", {0x85}), Failure::badTag(0x85, 19)},
        {"reference written as real", oneGroup("@", {0x83}), Failure::badTag(0x83, 19)},
        {"missing integer", oneGroup("i", {}), Failure::truncated()},
        {"array of 2^24 bytes", oneGroup("[16777216c]", {}), Failure::truncated()},
        {"array count beyond 64 bits", oneGroup("[99999999999999999999999i]", {}), Failure::truncated()},
        {"unbalanced array", oneGroup("[2i", {1, 2}), Failure::badType("[2i")},
        {"unbalanced structure", oneGroup("{A=i", {1}), Failure::badType("{A=i")},
        {"qualifier alone", oneGroup("r", {}), Failure::badType("r")},
        {"unknown type", oneGroup("x", {}), Failure::badType("x")},
        {"unknown byte as a code point", oneGroup("\xe9", {}), Failure::badType("\xc3\xa9")},
        {"element type missing", oneGroup("[2]", {}), Failure::badType("")},
        {"nil type string", nilTypes, Failure::badType("nil")},
        {"new class without a name", oneGroup("#", {0x84, 0x85}), Failure::badType("class")},
        {"reference into an empty table", stringReference, Failure::badReference(0)},
        {"index beyond 2^31 - 2", oneGroup("@", {0x82, 0xff, 0xff, 0xff, 0x7f}), Failure::badReference(2147483647 + 110LL)},
        {"class where an object is expected", written([](Writer& w) {
             w.beginGroup("@");
             w.beginObject({{"A", 0}});  // object 0, class 1
             w.endObject();
             w.beginGroup("@");
             w.writeReference(1);
         }), Failure::badReference(1)},
        {"object where a C string is expected", written([](Writer& w) {
             w.beginGroup("@");
             w.beginObject({{"A", 0}});
             w.endObject();
             w.beginGroup("*");
             w.writeReference(0);
         }), Failure::badReference(0)},
        {"object without its end", written([](Writer& w) {
             w.beginGroup("@");
             w.beginObject({{"Open", 0}});
             w.beginGroup("i");
             w.writeInt(1);
         }), Failure::truncated()},
        {"64 nested objects", nestedObjects(64), Failure::tooDeep()},
        {"64 nested arrays", nestedArrays(64), Failure::tooDeep()},
    };
    for (const auto& c : cases) {
        auto archive = TypedStream::decode(c.bytes);
        ASSERT_FALSE(archive) << c.what;
        EXPECT_EQ(archive.error(), c.failure) << c.what;
    }
    EXPECT_EQ(TypedStream::decode(oneGroup("@", {0x87, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f})).error().kind,
              Failure::Kind::badReference);  // the index computation overflows
    EXPECT_TRUE(TypedStream::decode(nestedObjects(63)));
    EXPECT_TRUE(TypedStream::decode(nestedArrays(63)));
    EXPECT_TRUE(TypedStream::decode(withHeaderByte(0, 3)));
    EXPECT_TRUE(TypedStream::decode(header())->groups().empty());
}

// Integers of every width written by our writer read back: every tagged form, and no value whose one-byte
// form would read as one of the tags 0x81..0x87.
TEST(TypedStreamReader, integersOfEveryWidthReadBack) {
    const int64_t values[] = {INT64_MIN, INT32_MIN - 1LL, INT32_MIN, -32769, -32768, -129, -128, -127, -121, -120,
                              -110, -1, 0, 127, 128, 32767, 32768, INT32_MAX, INT32_MAX + 1LL, INT64_MAX};
    auto archive = TypedStream::decode(written([&](Writer& w) {
        for (int64_t v : values) {
            w.beginGroup("rq");  // qualifiers are skipped
            w.writeInt(v);
        }
    }));
    ASSERT_TRUE(archive);
    for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(archive->groups()[i].values[0].asInt(), values[i]);
}

TEST(TypedStreamReader, structuresUnionsAndTextValues) {
    TypedStream::Archive keep;
    EXPECT_EQ(onlyValue(oneGroup("[0i]", {}), keep).asArray()->size(), 0u);
    EXPECT_EQ(onlyValue(oneGroup("{CGPoint=dd}", {0x01, 0x02}), keep).asArray()->back().asDouble(), 2.0);
    EXPECT_EQ(onlyValue(oneGroup("{Opaque}", {}), keep).asArray()->size(), 0u);
    const auto nested = onlyValue(oneGroup("{A={B=ii}i}", {1, 2, 3}), keep).asArray();
    ASSERT_TRUE(nested && nested->size() == 2);
    EXPECT_EQ((*nested)[0].asArray()->back().asInt(), 2);
    EXPECT_EQ((*nested)[1].asInt(), 3);
    EXPECT_EQ(onlyValue(oneGroup("(U=ic)", {7, 8}), keep).asArray()->size(), 2u);  // a union: every member

    // "*" a new C string, ":" a new selector, "#" a new class; then all three nil.
    const auto texts = TypedStream::decode(
        oneGroup("*:#", {0x84, 0x84, 0x02, 'h', 'i', 0x84, 0x02, 'g', 'o', 0x84, 0x84, 0x01, 'K', 0x00, 0x85}));
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->groups()[0].values[0].asCString(), "hi");
    EXPECT_EQ(texts->groups()[0].values[1].asSelector(), "go");
    EXPECT_EQ(texts->groups()[0].values[2].asClassName(), "K");
    const auto nils = TypedStream::decode(oneGroup("*:#v", {0x85, 0x85, 0x85}));
    ASSERT_TRUE(nils);
    for (const Value& v : nils->groups()[0].values) EXPECT_TRUE(v.isNull());
    // A type string is text: invalid UTF-8 in it (here in a structure's name) is replaced.
    EXPECT_EQ(TypedStream::decode(oneGroup("{\xff}", {}))->groups()[0].types, "{\xef\xbf\xbd}");
}

TEST(TypedStreamReader, intValueRoundsDoublesHalfAwayFromZeroWithinRange) {
    auto rounded = [](double d) {
        std::vector<uint8_t> bytes = oneGroup("d", {0x83});
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        TypedStream::Archive keep;
        return onlyValue(bytes, keep).intValue();
    };
    EXPECT_EQ(rounded(2.5), 3);
    EXPECT_EQ(rounded(-2.5), -3);
    EXPECT_EQ(rounded(-9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(rounded(9223372036854775808.0), std::nullopt);
    EXPECT_EQ(rounded(std::nan("")), std::nullopt);
}

// 300 objects of 300 classes take both tables past the indexes one byte can name.
TEST(TypedStreamReader, referencesBeyondTheOneByteRangeResolve) {
    std::vector<size_t> indexes;
    const auto archive = TypedStream::decode(written([&](Writer& w) {
        for (int i = 0; i < 300; ++i) {
            w.beginGroup("@");
            indexes.push_back(w.beginObject({{"K" + std::to_string(i), i}, {"NSObject", 0}}));
            w.endObject();
        }
        for (int i : {0, 127, 128, 299}) {
            w.beginGroup("@");
            w.writeReference(indexes[static_cast<size_t>(i)]);
        }
    }));
    ASSERT_TRUE(archive && archive->groups().size() == 304);
    size_t k = 300;
    for (size_t i : {0, 127, 128, 299})
        EXPECT_EQ(archive->groups()[k++].values[0].object(), archive->groups()[i].values[0].object());
    EXPECT_EQ(archive->groups()[299].values[0].object()->classChain().back(), "NSObject");
}

TEST(TypedStreamReader, anObjectThatContainsItselfIsTheSameObject) {
    auto archive = TypedStream::decode(written([](Writer& w) {
        w.beginGroup("@");
        const size_t self = w.beginObject({{"Loop", 0}});
        w.beginGroup("@");
        w.writeReference(self);
        w.endObject();
    }));
    ASSERT_TRUE(archive);
    const auto* outer = archive->groups()[0].values[0].object();
    ASSERT_TRUE(outer && outer->groups().size() == 1);
    EXPECT_EQ(outer->groups()[0].values[0].object(), outer);
}

TEST(TypedStreamReader, rootObjectIsTheFirstTopLevelObjectAndKeepsItsArchiveAlive) {
    std::optional<TypedStream::ObjectRef> kept;
    {
        auto root = TypedStream::rootObject(written([](Writer& w) {
            w.beginGroup("i");
            w.writeInt(5);
            w.beginGroup("[1@]");  // an object inside an array is not searched
            w.beginObject({{"Hidden", 0}});
            w.endObject();
            w.beginGroup("@");
            w.beginObject({{"Root", 0}});
            w.beginGroup("+");
            w.writeBytes("payload");
            w.endObject();
        }));
        ASSERT_TRUE(root && *root);
        kept = **root;
    }
    // Under AddressSanitizer a released arena would fail here.
    EXPECT_EQ((*kept)->className(), "Root");
    EXPECT_EQ((*kept)->groups()[0].values[0].asBytes(), "payload");

    auto none = TypedStream::rootObject(oneGroup("i", {1}));
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
}

// Arrays of values that take no bytes ("v", empty structures) and a long structure type rescanned for
// every element made a tiny archive run for hours; such archives now fail as out of range, quickly.
TEST(TypedStreamReader, arraysThatAskForMoreValuesThanTheArchiveHoldsStop) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& types : std::vector<std::string>{"[16777215v]", "[16777215[16777215{E}]]", "[16777215{" + std::string(200, 'X') + "}]"})
        EXPECT_EQ(TypedStream::decode(oneGroup(types, {})).error(), Failure::truncated()) << types;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // Sound archives with many small values are untouched.
    std::vector<uint8_t> many = oneGroup("[60000i]", {});
    many.resize(many.size() + 60000, 0x01);
    TypedStream::Archive keep;
    EXPECT_EQ(onlyValue(many, keep).asArray()->size(), 60000u);
}

// A class chain is as long as the archive allows; read by recursion, 100,000 classes overflow the stack.
TEST(TypedStreamReader, aVeryLongClassChainIsReadWithoutRecursion) {
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back("C" + std::to_string(i));
    std::vector<Writer::Class> chain;
    for (const auto& n : names) chain.push_back({n, 0});
    const auto bytes = written([&](Writer& w) {
        w.beginGroup("@");
        w.beginObject(chain);
        w.endObject();
    });
    TypedStream::Archive keep;
    const auto* object = onlyValue(bytes, keep).object();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->classChain().size(), 100000u);
    EXPECT_EQ(object->classChain().back(), "C99999");
}

}  // namespace
}  // namespace quillmark
