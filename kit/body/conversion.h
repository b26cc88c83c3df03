// Conversion: what plainValue and AttributedBody share while they walk one object graph. Internal to
// the body library.
//
// The graph of a decoded archive may contain cycles, and back-references let a small archive describe
// an exponentially large tree; every walk therefore carries one Conversion with its limits.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "body/attributed_body.h"
#include "body/plain_value.h"
#include "body/typed_stream.h"

namespace quillmark::conversion {

struct Limits {
    int depth = 0;          // containers entered and not yet left
    size_t objects = 0;     // objects converted so far
    size_t bytes = 0;       // bytes of text and data produced so far

    static constexpr int maxDepth = 64;
    static constexpr size_t maxObjects = size_t{1} << 16;
    static constexpr size_t maxBytes = size_t{1} << 27;
};

// Which row of the plain-value table applies to an object.
enum class Rule { string, number, data, url, dictionary, list, attributedString, other };
Rule ruleOf(const TypedStream::Object& object);

// The first byte string of an object's groups, scanning groups and values in order.
std::optional<std::string_view> firstBytes(const TypedStream::Object& object);

// The same conversions as the public ones, within shared limits.
PlainValue plainValue(const TypedStream::Object& object, Limits& limits);
std::optional<AttributedBody> attributedBody(const TypedStream::Object& root, Limits& limits);
// The text of an attributed string: what attributedBody gives as `text`, without reading its runs.
std::optional<std::string> attributedText(const TypedStream::Object& root, Limits& limits);

}  // namespace quillmark::conversion
