// Helpers shared by the body tests: reading fixture files and building small archives by hand.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "body/typed_stream.h"
#include "body/typed_stream_writer.h"

namespace quillmark::testing {

std::vector<uint8_t> readBytes(const std::filesystem::path& path);
std::vector<uint8_t> fromHex(std::string_view hex);

// The bytes of a version 4 typedstream header.
std::vector<uint8_t> header();

// An archive of one group: the header, `types` as a new shared string, then the raw value bytes.
std::vector<uint8_t> oneGroup(std::string_view types, std::initializer_list<int> valueBytes);

// Appends raw bytes.
void append(std::vector<uint8_t>& out, std::initializer_list<int> bytes);
void append(std::vector<uint8_t>& out, std::string_view bytes);

// ArchiveBuilder: writes Foundation objects the way the platform's archiver lays them out, each as a
// group "@" holding the object, for archives the real data does not cover.
class ArchiveBuilder {
public:
    TypedStream::Writer w;

    size_t string(std::string_view text);
    void number(int64_t n);
    void real(double d);
    void url(std::string_view text);
    // An object of the given class (no superclass) with no groups.
    void plain(std::string_view className);
    // Opens a dictionary of `count` entries; write 2 * count objects, then end().
    size_t beginDictionary(int64_t count, std::string_view className = "NSDictionary");
    // Opens an array of `count` elements; write them, then end().
    size_t beginArray(int64_t count);
    // Opens an attributed string; write its string object, then runs, then end().
    size_t beginAttributedString();
    void run(int64_t dictionaryNumber, int64_t length);
    void end() { w.endObject(); }
    void reference(size_t index);

    std::vector<uint8_t> finish() { return std::move(w).finish(); }
};
}  // namespace quillmark::testing

namespace quillmark::TypedStream {

// Failures print as their description in test messages.
void PrintTo(const Failure& failure, std::ostream* out);

}  // namespace quillmark::TypedStream
