// TypedStream::Arena and a decode into a caller's arena: internal to the body library.
//
// The public decode copies the archive into an arena it shares with its result. Decoders that turn the
// tree into values of their own before they return (AttributedBody, SummaryInfo) decode instead into an
// arena on their stack, viewing the caller's bytes without a copy: the common message body then needs
// no heap memory for the tree at all.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <span>
#include <type_traits>

#include <tl/expected.hpp>

#include "body/typed_stream.h"

namespace quillmark::TypedStream {

// Arena: the memory of one decoded archive: every Object, Group, Value array and repaired text, and
// (for the public decode) the archive's bytes. All of them are trivially destructible, so releasing the
// arena's memory is all the cleanup there is, whatever cycles the objects form.
class Arena {
public:
    explicit Arena(size_t initialSize) : memory_(initialSize) {}
    Arena(void* buffer, size_t size) : memory_(buffer, size) {}

    template <typename T>
    T* allocate(size_t count) {
        static_assert(std::is_trivially_destructible_v<T>);
        return static_cast<T*>(memory_.allocate(count * sizeof(T), alignof(T)));
    }

private:
    std::pmr::monotonic_buffer_resource memory_;
};

namespace detail {

// decodeInto: decodes `data` into `arena` without copying it; the groups view both, so they are valid
// only while both are.
tl::expected<std::span<const Group>, Failure> decodeInto(Arena& arena, std::span<const uint8_t> data);

// The first object value of the top-level groups, as rootObject finds it.
const Object* firstObject(std::span<const Group> groups);

}  // namespace detail

}  // namespace quillmark::TypedStream
