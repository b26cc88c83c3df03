// TypedStream::Writer: an encoder of typedstream archives, the inverse of TypedStream::decode.
//
// It writes what the classic Cocoa archiver writes: the header, groups under shared type strings,
// integers in their shortest tagged form, byte strings, C strings and objects with their class chains.
// Type strings, class names and C strings are written once and referred back to afterwards, and every
// object, class and C string takes the next index of the shared table in the order the reader
// numbers them, so the reader resolves each back-reference to the entry the writer meant.
//
// The writer does not check that the values of a group match its type string; that is the caller's
// part.
//
//   TypedStream::Writer w;
//   w.beginGroup("@");
//   w.beginObject({{"NSMutableString", 1}, {"NSString", 1}, {"NSObject", 0}});
//   w.beginGroup("+");
//   w.writeBytes("hello");
//   w.endObject();
//   std::vector<uint8_t> archive = std::move(w).finish();   // decodes to one group holding the string
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmark::TypedStream {

class Writer {
public:
    // One class of an object's chain: its name and the class version the archiver records.
    struct Class {
        std::string_view name;
        int64_t version = 0;
    };

    // Starts the archive with the header of a version 4 stream.
    Writer();

    // Starts a group: writes its type string. The caller then writes one value per type.
    void beginGroup(std::string_view types);

    // Values, for the type characters named.
    void writeInt(int64_t value);            // c C s S i I l L q Q B
    void writeDouble(double value);          // d
    void writeFloat(float value);            // f
    void writeBytes(std::string_view bytes); // + (length, then the bytes)
    void writeCString(std::string_view text);// *
    void writeNil();                         // a nil object, class, C string or selector

    // Starts a new object of the class chain given most derived first, and returns its index in the
    // shared table (for writeReference). Classes written before are referred back to, so the chain
    // ends at the first known class. The caller then writes the object's groups and calls endObject.
    size_t beginObject(std::initializer_list<Class> chain);
    size_t beginObject(std::span<const Class> chain);
    void endObject();

    // A reference to an object begun earlier (even one not yet ended).
    void writeReference(size_t index);

    // The archive's bytes.
    std::vector<uint8_t> finish() &&;

private:
    void writeSharedString(std::string_view s);
    void writeTableReference(size_t index);
    void writeRaw(uint64_t bits, size_t n);

    std::vector<uint8_t> out_;
    std::unordered_map<std::string, size_t> strings_;  // shared-string table
    std::unordered_map<std::string, size_t> classes_;  // shared table: classes by name
    std::unordered_map<std::string, size_t> cStrings_; // shared table: C strings by text
    size_t nextString_ = 0;
    size_t nextShared_ = 0;
};

}  // namespace quillmark::TypedStream
