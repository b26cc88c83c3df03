// The tag bytes of a typedstream archive, shared by the reader and the writer so that what one writes the
// other reads. Everything else where a tag may stand is an integer or a back-reference.
#pragma once

#include <cstdint>

namespace quillmark::TypedStream::tags {

constexpr uint8_t int16 = 0x81;
constexpr uint8_t int32 = 0x82;
constexpr uint8_t real = 0x83;
constexpr uint8_t newEntry = 0x84;
constexpr uint8_t nil = 0x85;
constexpr uint8_t endOfObject = 0x86;
constexpr uint8_t int64 = 0x87;

// Back-references are numbered from the tag 0x92, which reads as the integer -110.
constexpr int64_t referenceBase = 110;

}  // namespace quillmark::TypedStream::tags
