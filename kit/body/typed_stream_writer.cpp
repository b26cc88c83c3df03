#include "body/typed_stream_writer.h"
#include "body/typed_stream_tags.h"

#include <cstring>

namespace quillmark::TypedStream {

namespace {

// The system version the platform's archiver records (1000).
constexpr int64_t systemVersion = 1000;

}  // namespace

Writer::Writer() {
    out_.reserve(256);
    out_.push_back(4);
    writeInt(11);
    for (char c : std::string_view("streamtyped")) out_.push_back(static_cast<uint8_t>(c));
    writeInt(systemVersion);
}

void Writer::writeRaw(uint64_t bits, size_t n) {
    for (size_t i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void Writer::writeInt(int64_t value) {
    // One byte unless the byte would read as one of the tags 0x81..0x87.
    if (value >= -128 && value <= 127 && !(value >= -127 && value <= -121)) {
        out_.push_back(static_cast<uint8_t>(value));
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        out_.push_back(tags::int16);
        writeRaw(static_cast<uint64_t>(value), 2);
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        out_.push_back(tags::int32);
        writeRaw(static_cast<uint64_t>(value), 4);
    } else {
        out_.push_back(tags::int64);
        writeRaw(static_cast<uint64_t>(value), 8);
    }
}

void Writer::writeDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    out_.push_back(tags::real);
    writeRaw(bits, 8);
}

void Writer::writeFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    out_.push_back(tags::real);
    writeRaw(bits, 4);
}

void Writer::writeBytes(std::string_view bytes) {
    writeInt(static_cast<int64_t>(bytes.size()));
    out_.insert(out_.end(), bytes.begin(), bytes.end());
}

void Writer::writeTableReference(size_t index) { writeInt(static_cast<int64_t>(index) - tags::referenceBase); }

void Writer::writeSharedString(std::string_view s) {
    if (auto it = strings_.find(std::string(s)); it != strings_.end()) {
        writeTableReference(it->second);
        return;
    }
    out_.push_back(tags::newEntry);
    writeBytes(s);
    strings_.emplace(std::string(s), nextString_++);
}

void Writer::beginGroup(std::string_view types) { writeSharedString(types); }

void Writer::writeCString(std::string_view text) {
    if (auto it = cStrings_.find(std::string(text)); it != cStrings_.end()) {
        writeTableReference(it->second);
        return;
    }
    out_.push_back(tags::newEntry);
    writeSharedString(text);
    cStrings_.emplace(std::string(text), nextShared_++);
}

void Writer::writeNil() { out_.push_back(tags::nil); }

size_t Writer::beginObject(std::initializer_list<Class> chain) {
    return beginObject(std::span<const Class>(chain.begin(), chain.size()));
}

size_t Writer::beginObject(std::span<const Class> chain) {
    out_.push_back(tags::newEntry);
    const size_t index = nextShared_++;
    for (const Class& c : chain) {
        if (auto it = classes_.find(std::string(c.name)); it != classes_.end()) {
            writeTableReference(it->second);
            return index;
        }
        // A class takes its index before its superclass is written.
        out_.push_back(tags::newEntry);
        writeSharedString(c.name);
        writeInt(c.version);
        classes_.emplace(std::string(c.name), nextShared_++);
    }
    out_.push_back(tags::nil);
    return index;
}

void Writer::endObject() { out_.push_back(tags::endOfObject); }

void Writer::writeReference(size_t index) { writeTableReference(index); }

std::vector<uint8_t> Writer::finish() && { return std::move(out_); }

}  // namespace quillmark::TypedStream
