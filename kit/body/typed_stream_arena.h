// TypedStream::Arena and a decode into a caller's arena: internal to the body library.
//
// The public decode copies the archive into an arena it shares with its result. Decoders that turn the
// tree into values of their own before they return (AttributedBody, SummaryInfo) decode instead into an
// arena on their stack, viewing the caller's bytes without a copy: the common message body then needs
// no heap memory for the tree at all.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <span>
#include <type_traits>

#include <tl/expected.hpp>

#include "body/typed_stream.h"

namespace quillmark::TypedStream {

// Arena: the memory of one decoded archive: every Object, Group, Value array and repaired text, and
// (for the public decode) the archive's bytes. All of them are trivially destructible, so releasing the
// arena's memory is all the cleanup there is, whatever cycles the objects form. A bump allocator: the
// reader allocates a few small arrays per group, and this is the whole cost of each.
class Arena {
public:
    // Memory from the heap, the first block of `initialSize` bytes.
    explicit Arena(size_t initialSize) : nextSize_(std::max<size_t>(initialSize, 256)) {}
    // The caller's buffer first, then the heap.
    Arena(void* buffer, size_t size)
        : next_(reinterpret_cast<uintptr_t>(buffer)), end_(next_ + size), nextSize_(std::max<size_t>(size, 256)) {}
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena();

    template <typename T>
    T* allocate(size_t count) {
        static_assert(std::is_trivially_destructible_v<T>);
        const uintptr_t at = (next_ + alignof(T) - 1) & ~(uintptr_t{alignof(T)} - 1);
        // Counts are bounded by the archive's length long before count * sizeof(T) could overflow.
        const size_t bytes = count * sizeof(T);
        if (at < next_ || bytes > end_ - at || end_ < at) return static_cast<T*>(grow(bytes, alignof(T)));
        next_ = at + bytes;
        return reinterpret_cast<T*>(at);
    }

private:
    void* grow(size_t bytes, size_t alignment);

    struct Block {
        Block* previous;
    };
    uintptr_t next_ = 0;
    uintptr_t end_ = 0;
    size_t nextSize_;
    Block* blocks_ = nullptr;
};

namespace detail {

// decodeInto: decodes `data` into `arena` without copying it; the groups view both, so they are valid
// only while both are.
tl::expected<std::span<const Group>, Failure> decodeInto(Arena& arena, std::span<const uint8_t> data);

// The first object value of the top-level groups, as rootObject finds it.
const Object* firstObject(std::span<const Group> groups);

}  // namespace detail

}  // namespace quillmark::TypedStream
