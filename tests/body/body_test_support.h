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

namespace quillmark::testing {

std::vector<uint8_t> readBytes(const std::filesystem::path& path);
std::vector<uint8_t> fromHex(std::string_view hex);
std::string base64(const std::vector<uint8_t>& bytes);

// The bytes of a version 4 typedstream header.
std::vector<uint8_t> header();

// An archive of one group: the header, `types` as a new shared string, then the raw value bytes.
std::vector<uint8_t> oneGroup(std::string_view types, std::initializer_list<int> valueBytes);

// Appends raw bytes.
void append(std::vector<uint8_t>& out, std::initializer_list<int> bytes);
void append(std::vector<uint8_t>& out, std::string_view bytes);

}  // namespace quillmark::testing

namespace quillmark::TypedStream {

// Failures print as their description in test messages.
void PrintTo(const Failure& failure, std::ostream* out);

}  // namespace quillmark::TypedStream
