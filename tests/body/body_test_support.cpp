#include "body_test_support.h"

#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>

namespace quillmark::testing {

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> fromHex(std::string_view hex) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw std::runtime_error("not hex");
    };
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return out;
}

void append(std::vector<uint8_t>& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}

void append(std::vector<uint8_t>& out, std::string_view bytes) {
    for (const char c : bytes) out.push_back(static_cast<uint8_t>(c));
}

std::vector<uint8_t> header() {
    std::vector<uint8_t> out{0x04, 0x0b};
    append(out, "streamtyped");
    append(out, {0x81, 0xe8, 0x03});
    return out;
}

std::vector<uint8_t> oneGroup(std::string_view types, std::initializer_list<int> valueBytes) {
    std::vector<uint8_t> out = header();
    out.push_back(0x84);
    if (types.size() < 128) {
        out.push_back(static_cast<uint8_t>(types.size()));
    } else {
        append(out, {0x81, static_cast<int>(types.size() & 0xff), static_cast<int>(types.size() >> 8)});
    }
    append(out, types);
    append(out, valueBytes);
    return out;
}

size_t ArchiveBuilder::string(std::string_view text) {
    w.beginGroup("@");
    const size_t index = w.beginObject({{"NSString", 1}, {"NSObject", 0}});
    w.beginGroup("+");
    w.writeBytes(text);
    w.endObject();
    return index;
}

void ArchiveBuilder::number(int64_t n) {
    w.beginGroup("@");
    w.beginObject({{"NSNumber", 0}, {"NSValue", 0}, {"NSObject", 0}});
    w.beginGroup("*");
    w.writeCString("q");
    w.beginGroup("q");
    w.writeInt(n);
    w.endObject();
}

void ArchiveBuilder::real(double d) {
    w.beginGroup("@");
    w.beginObject({{"NSNumber", 0}, {"NSValue", 0}, {"NSObject", 0}});
    w.beginGroup("*");
    w.writeCString("d");
    w.beginGroup("d");
    w.writeDouble(d);
    w.endObject();
}

void ArchiveBuilder::url(std::string_view text) {
    w.beginGroup("@");
    w.beginObject({{"NSURL", 0}, {"NSObject", 0}});
    w.beginGroup("c");
    w.writeInt(0);
    string(text);
    w.endObject();
}

void ArchiveBuilder::plain(std::string_view className) {
    w.beginGroup("@");
    w.beginObject({{className, 0}});
    w.endObject();
}

size_t ArchiveBuilder::beginDictionary(int64_t count, std::string_view className) {
    w.beginGroup("@");
    const size_t index = className == "NSDictionary" ? w.beginObject({{"NSDictionary", 0}, {"NSObject", 0}})
                                                     : w.beginObject({{className, 0}, {"NSDictionary", 0}, {"NSObject", 0}});
    w.beginGroup("i");
    w.writeInt(count);
    return index;
}

size_t ArchiveBuilder::beginArray(int64_t count) {
    w.beginGroup("@");
    const size_t index = w.beginObject({{"NSArray", 0}, {"NSObject", 0}});
    w.beginGroup("i");
    w.writeInt(count);
    return index;
}

size_t ArchiveBuilder::beginAttributedString() {
    w.beginGroup("@");
    return w.beginObject({{"NSMutableAttributedString", 0}, {"NSAttributedString", 0}, {"NSObject", 0}});
}

void ArchiveBuilder::run(int64_t dictionaryNumber, int64_t length) {
    w.beginGroup("iI");
    w.writeInt(dictionaryNumber);
    w.writeInt(length);
}

void ArchiveBuilder::reference(size_t index) {
    w.beginGroup("@");
    w.writeReference(index);
}

}  // namespace quillmark::testing

namespace quillmark::TypedStream {

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.description(); }

}  // namespace quillmark::TypedStream
