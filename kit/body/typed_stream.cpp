#include "body/typed_stream.h"
#include "body/typed_stream_tags.h"
#include "body/typed_stream_arena.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory_resource>
#include <new>
#include <type_traits>
#include <vector>

#include "core/text.h"

namespace quillmark::TypedStream {

namespace {

static_assert(std::is_trivially_copyable_v<Value> && std::is_trivially_destructible_v<Value>);
static_assert(std::is_trivially_destructible_v<Group> && std::is_trivially_destructible_v<Object>);

constexpr int64_t maxReferenceIndex = 2'147'483'646;

constexpr int64_t maxSharedStringLength = int64_t{1} << 26;
constexpr uint64_t maxArrayCount = uint64_t{1} << 24;
constexpr int maxValueDepth = 63;
constexpr int maxObjectDepth = 64;

// Reading a value costs one unit, and scanning a type string costs one unit per character. A sound
// archive spends a small multiple of its length; the allowance stops archives that ask for millions
// of values that occupy no bytes ("[16777215v]", arrays of empty structures) or that make the reader
// rescan a long type string for every element, both of which would otherwise run for hours.
constexpr size_t workPerByte = 64;
constexpr size_t workAllowance = size_t{1} << 18;

bool isQualifier(char c) {
    return c == 'r' || c == 'n' || c == 'N' || c == 'o' || c == 'O' || c == 'R' || c == 'V';
}

char closing(char open) {
    switch (open) {
        case '[': return ']';
        case '{': return '}';
        default: return ')';
    }
}

int64_t littleEndian(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
    return static_cast<int64_t>(v);
}

// The byte as a Unicode code point, in UTF-8: how an unknown type character is reported.
std::string codePointText(uint8_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    return std::string{static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
}

// One entry of the shared-string table: the bytes, and their reading as text once it was needed.
struct SharedString {
    std::string_view bytes;
    std::string_view text;
    bool hasText = false;
};

// One entry of the table that objects, classes and C strings share.
struct Shared {
    enum class Kind : uint8_t { object, cls, cString };
    Kind kind;
    const Object* object = nullptr;
    std::span<const std::string_view> chain;
    std::string_view text;
};

}  // namespace

// Reader: the state of one decode call. Functions return false once a failure has been recorded; the
// first failure ends the decode.
class Reader {
public:
    // With `copy` the arena keeps its own copy of the archive, and the result does not depend on `input`.
    Reader(std::span<const uint8_t> input, bool copy, Arena& arena, std::pmr::memory_resource* scratch)
        : arena_(arena),
          work_(workAllowance + workPerByte * input.size()),
          strings_(scratch),
          shared_(scratch),
          values_(scratch),
          groups_(scratch),
          names_(scratch),
          slots_(scratch) {
        data_ = input.data();
        size_ = input.size();
        if (copy && !input.empty()) {
            auto* bytes = arena_.allocate<uint8_t>(input.size());
            std::memcpy(bytes, input.data(), input.size());
            data_ = bytes;
        }
        strings_.reserve(32);
        shared_.reserve(32);
        values_.reserve(64);
        groups_.reserve(32);
    }

    tl::expected<std::span<const Group>, Failure> run() {
        if (!header()) return tl::unexpected(std::move(*failure_));
        while (pos_ < size_)
            if (!group(0)) return tl::unexpected(std::move(*failure_));
        return keep(groups_, 0);
    }

    static Archive archive(std::shared_ptr<const Arena> arena, std::span<const Group> groups) {
        Archive a;
        a.arena_ = std::move(arena);
        a.groups_ = groups;
        return a;
    }

private:
    bool fail(Failure f) {
        failure_ = std::move(f);
        return false;
    }

    bool spend(size_t units) {
        if (units > work_) return fail(Failure::truncated());
        work_ -= units;
        return true;
    }

    // Primitive reads.

    bool take(int64_t n, const uint8_t*& out) {
        if (n < 0 || static_cast<uint64_t>(n) > size_ - pos_) return fail(Failure::truncated());
        out = data_ + pos_;
        pos_ += static_cast<size_t>(n);
        return true;
    }

    bool byte(uint8_t& out) {
        if (pos_ >= size_) return fail(Failure::truncated());
        out = data_[pos_++];
        return true;
    }

    bool integer(int64_t& out) {
        uint8_t tag = 0;
        return byte(tag) && integer(tag, out);
    }

    // An integer whose tag byte the caller has already consumed.
    bool integer(uint8_t tag, int64_t& out) {
        const uint8_t* p = nullptr;
        switch (tag) {
            case tags::int16:
                if (!take(2, p)) return false;
                out = static_cast<int16_t>(littleEndian(p, 2));
                return true;
            case tags::int32:
                if (!take(4, p)) return false;
                out = static_cast<int32_t>(littleEndian(p, 4));
                return true;
            case tags::int64:
                if (!take(8, p)) return false;
                out = littleEndian(p, 8);
                return true;
            case tags::real:
            case tags::newEntry:
            case tags::nil:
            case tags::endOfObject:
                return fail(Failure::badTag(tag, static_cast<int64_t>(pos_) - 1));
            default:
                out = static_cast<int8_t>(tag);
                return true;
        }
    }

    // The table index a back-reference tag stands for, checked against a table of `count` entries.
    bool reference(uint8_t tag, size_t count, size_t& out) {
        int64_t number = 0;
        if (!integer(tag, number)) return false;
        int64_t index = 0;
        if (__builtin_add_overflow(number, tags::referenceBase, &index)) return fail(Failure::badReference(number));
        if (index < 0 || index > maxReferenceIndex || static_cast<uint64_t>(index) >= count)
            return fail(Failure::badReference(index));
        out = static_cast<size_t>(index);
        return true;
    }

    bool sharedReference(uint8_t tag, Shared::Kind kind, const Shared*& out) {
        size_t index = 0;
        if (!reference(tag, shared_.size(), index)) return false;
        if (shared_[index].kind != kind) return fail(Failure::badReference(static_cast<int64_t>(index)));
        out = &shared_[index];
        return true;
    }

    // The index of a string of the shared-string table; nullopt for nil.
    bool sharedString(std::optional<size_t>& out) {
        uint8_t tag = 0;
        if (!byte(tag)) return false;
        if (tag == tags::newEntry) {
            int64_t length = 0;
            if (!integer(length)) return false;
            if (length < 0 || length >= maxSharedStringLength) return fail(Failure::truncated());
            const uint8_t* p = nullptr;
            if (!take(length, p)) return false;
            out = strings_.size();
            strings_.push_back(SharedString{view(p, length), {}, false});
            return true;
        }
        if (tag == tags::nil) {
            out.reset();
            return true;
        }
        size_t index = 0;
        if (!reference(tag, strings_.size(), index)) return false;
        out = index;
        return true;
    }

    std::string_view bytesOf(size_t string) const { return strings_[string].bytes; }

    // A shared string as text, checked (and if need be repaired) once however often it is used: type
    // strings and class names recur in every archive.
    std::string_view textOf(size_t string) {
        SharedString& s = strings_[string];
        if (!s.hasText) {
            s.text = text(s.bytes);
            s.hasText = true;
        }
        return s.text;
    }

    bool header() {
        uint8_t version = 0;
        if (!byte(version)) return false;
        if (version != 3 && version != 4) return fail(Failure::badHeader());
        int64_t length = 0;
        if (!integer(length)) return false;
        if (length != 11) return fail(Failure::badHeader());
        const uint8_t* signature = nullptr;
        if (!take(11, signature)) return false;
        if (std::memcmp(signature, "streamtyped", 11) != 0) return fail(Failure::badHeader());
        int64_t systemVersion = 0;
        return integer(systemVersion);
    }

    // Structure.

    bool group(int depth) {
        std::optional<size_t> string;
        if (!sharedString(string)) return false;
        if (!string) return fail(Failure::badType("nil"));
        const std::string_view types = bytesOf(*string);
        const size_t base = values_.size();
        size_t cursor = 0;
        while (cursor < types.size())
            if (!value(types, cursor, depth)) return false;
        groups_.push_back(Group{textOf(*string), keep(values_, base)});
        values_.resize(base);
        return true;
    }

    // Reads one value of the type at `cursor` in `types`, appends it to values_ and moves the cursor
    // past that type.
    bool value(std::string_view types, size_t& cursor, int depth) {
        if (depth > maxValueDepth) return fail(Failure::tooDeep());
        if (!spend(1)) return false;
        while (cursor < types.size() && isQualifier(types[cursor])) ++cursor;
        if (cursor >= types.size()) return fail(Failure::badType(std::string(text(types))));
        const char c = types[cursor];
        switch (c) {
            case '[': return array(types, cursor, depth);
            case '{':
            case '(': return structure(types, cursor, depth);
            default: break;
        }
        ++cursor;
        Value v;
        switch (c) {
            case 'c': case 'C': case 's': case 'S': case 'i': case 'I':
            case 'l': case 'L': case 'q': case 'Q': case 'B': {
                int64_t n = 0;
                if (!integer(n)) return false;
                v = Value::makeInt(n);
                break;
            }
            case 'f':
            case 'd':
                if (!real(c == 'f', v)) return false;
                break;
            case '+': {
                int64_t length = 0;
                if (!integer(length)) return false;
                const uint8_t* p = nullptr;
                if (!take(length, p)) return false;
                v = Value::makeText(Value::Kind::bytes, view(p, length));
                break;
            }
            case '*':
                if (!cString(v)) return false;
                break;
            case '@':
                if (!object(depth + 1, v)) return false;
                break;
            case '#': {
                std::span<const std::string_view> chain;
                if (!classChain(chain)) return false;
                if (!chain.empty()) v = Value::makeText(Value::Kind::className, chain.front());
                break;
            }
            case ':': {
                std::optional<size_t> name;
                if (!sharedString(name)) return false;
                if (name) v = Value::makeText(Value::Kind::selector, textOf(*name));
                break;
            }
            case 'v':
                break;
            default:
                return fail(Failure::badType(codePointText(static_cast<uint8_t>(c))));
        }
        values_.push_back(v);
        return true;
    }

    bool real(bool isFloat, Value& out) {
        uint8_t tag = 0;
        if (!byte(tag)) return false;
        if (tag != tags::real) {
            int64_t n = 0;
            if (!integer(tag, n)) return false;
            out = Value::makeDouble(static_cast<double>(n));
            return true;
        }
        const uint8_t* p = nullptr;
        if (isFloat) {
            if (!take(4, p)) return false;
            const auto bits = static_cast<uint32_t>(littleEndian(p, 4));
            float f;
            std::memcpy(&f, &bits, sizeof f);
            out = Value::makeDouble(static_cast<double>(f));
            return true;
        }
        if (!take(8, p)) return false;
        const auto bits = static_cast<uint64_t>(littleEndian(p, 8));
        double d;
        std::memcpy(&d, &bits, sizeof d);
        out = Value::makeDouble(d);
        return true;
    }

    bool array(std::string_view types, size_t& cursor, int depth) {
        size_t end = 0;
        if (!typeEnd(types, cursor, end)) return false;
        size_t i = cursor + 1;
        const size_t close = end - 1;
        uint64_t count = 0;
        for (; i < close && types[i] >= '0' && types[i] <= '9'; ++i) {
            count = count * 10 + static_cast<uint64_t>(types[i] - '0');
            if (count >= maxArrayCount) return fail(Failure::truncated());
        }
        const std::string_view element = types.substr(i, close - i);
        cursor = end;
        if (element == "c" || element == "C") {
            const uint8_t* p = nullptr;
            if (!take(static_cast<int64_t>(count), p)) return false;
            values_.push_back(Value::makeText(Value::Kind::bytes, view(p, static_cast<int64_t>(count))));
            return true;
        }
        const size_t base = values_.size();
        for (uint64_t k = 0; k < count; ++k) {
            size_t elementCursor = 0;
            if (!value(element, elementCursor, depth + 1)) return false;
        }
        const auto elements = keep(values_, base);
        values_.resize(base);
        values_.push_back(Value::makeArray(elements));
        return true;
    }

    // A structure or a union: every member in turn.
    bool structure(std::string_view types, size_t& cursor, int depth) {
        size_t end = 0;
        if (!typeEnd(types, cursor, end)) return false;
        const size_t open = cursor;
        const size_t close = end - 1;
        cursor = end;
        const size_t equals = types.substr(0, close).find('=', open + 1);
        if (!spend((equals == std::string_view::npos ? close : equals) - open)) return false;
        if (equals == std::string_view::npos) {
            values_.push_back(Value::makeArray({}));
            return true;
        }
        const std::string_view members = types.substr(equals + 1, close - equals - 1);
        const size_t base = values_.size();
        size_t memberCursor = 0;
        while (memberCursor < members.size())
            if (!value(members, memberCursor, depth + 1)) return false;
        const auto elements = keep(values_, base);
        values_.resize(base);
        values_.push_back(Value::makeArray(elements));
        return true;
    }

    // The index just past the type that starts at `start` (after qualifiers).
    bool typeEnd(std::string_view types, size_t start, size_t& end) {
        size_t i = start;
        while (i < types.size() && isQualifier(types[i])) ++i;
        if (i >= types.size()) return fail(Failure::badType(std::string(text(types))));
        const char open = types[i];
        if (open != '[' && open != '{' && open != '(') {
            end = i + 1;
            return true;
        }
        const char close = closing(open);
        int64_t level = 0;
        for (size_t j = i; j < types.size(); ++j) {
            if (types[j] == open) {
                ++level;
            } else if (types[j] == close && --level == 0) {
                end = j + 1;
                return spend(end - i);
            }
        }
        return fail(Failure::badType(std::string(text(types))));
    }

    bool object(int depth, Value& out) {
        if (depth >= maxObjectDepth) return fail(Failure::tooDeep());
        uint8_t tag = 0;
        if (!byte(tag)) return false;
        if (tag == tags::nil) {
            out = Value();
            return true;
        }
        if (tag != tags::newEntry) {
            const Shared* entry = nullptr;
            if (!sharedReference(tag, Shared::Kind::object, entry)) return false;
            out = Value::makeObject(entry->object);
            return true;
        }
        // The object is registered before anything of it is read, so that a reference met while it is
        // being read (even from inside itself) yields this same object.
        auto* o = new (arena_.allocate<Object>(1)) Object();
        shared_.push_back(Shared{Shared::Kind::object, o, {}, {}});
        if (!classChain(o->classChain_)) return false;
        const size_t base = groups_.size();
        for (;;) {
            if (pos_ >= size_) return fail(Failure::truncated());
            if (data_[pos_] == tags::endOfObject) {
                ++pos_;
                break;
            }
            if (!group(depth)) return false;
        }
        o->groups_ = keep(groups_, base);
        groups_.resize(base);
        out = Value::makeObject(o);
        return true;
    }

    // A class chain: new classes (each taking its table index before its superclass is read) ending in
    // nil or in a reference to a known chain. Read in a loop, not by recursion, because the length of
    // a chain is bounded only by the archive's length.
    bool classChain(std::span<const std::string_view>& out) {
        names_.clear();
        slots_.clear();
        std::span<const std::string_view> tail;
        for (;;) {
            uint8_t tag = 0;
            if (!byte(tag)) return false;
            if (tag == tags::nil) break;
            if (tag != tags::newEntry) {
                const Shared* entry = nullptr;
                if (!sharedReference(tag, Shared::Kind::cls, entry)) return false;
                tail = entry->chain;
                break;
            }
            std::optional<size_t> name;
            if (!sharedString(name)) return false;
            if (!name) return fail(Failure::badType("class"));
            int64_t version = 0;
            if (!integer(version)) return false;
            slots_.push_back(shared_.size());
            shared_.push_back(Shared{Shared::Kind::cls, nullptr, {}, {}});
            names_.push_back(textOf(*name));
        }
        if (names_.empty()) {
            out = tail;
            return true;
        }
        const size_t total = names_.size() + tail.size();
        auto* chain = arena_.allocate<std::string_view>(total);
        std::copy(names_.begin(), names_.end(), chain);
        std::copy(tail.begin(), tail.end(), chain + names_.size());
        for (size_t k = 0; k < slots_.size(); ++k) shared_[slots_[k]].chain = {chain + k, total - k};
        out = {chain, total};
        return true;
    }

    bool cString(Value& out) {
        uint8_t tag = 0;
        if (!byte(tag)) return false;
        if (tag == tags::nil) {
            out = Value();
            return true;
        }
        if (tag != tags::newEntry) {
            const Shared* entry = nullptr;
            if (!sharedReference(tag, Shared::Kind::cString, entry)) return false;
            out = Value::makeText(Value::Kind::cString, entry->text);
            return true;
        }
        std::optional<size_t> characters;
        if (!sharedString(characters)) return false;
        if (!characters) {
            out = Value();
            return true;
        }
        const std::string_view t = textOf(*characters);
        shared_.push_back(Shared{Shared::Kind::cString, nullptr, {}, t});
        out = Value::makeText(Value::Kind::cString, t);
        return true;
    }

    // Helpers.

    static std::string_view view(const uint8_t* p, int64_t n) {
        return {reinterpret_cast<const char*>(p), static_cast<size_t>(n)};
    }

    // The bytes as UTF-8 text: themselves when well-formed, else a repaired copy kept in the arena.
    std::string_view text(std::string_view raw) {
        if (text::isValidUTF8(raw)) return raw;
        const std::string repaired = text::validUTF8(raw);
        auto* copy = arena_.allocate<char>(repaired.size());
        std::memcpy(copy, repaired.data(), repaired.size());
        return {copy, repaired.size()};
    }

    // Moves the scratch entries from `base` on into the arena.
    template <typename T>
    std::span<const T> keep(const std::pmr::vector<T>& scratch, size_t base) {
        const size_t n = scratch.size() - base;
        if (n == 0) return {};
        T* out = arena_.allocate<T>(n);
        std::copy(scratch.begin() + static_cast<std::ptrdiff_t>(base), scratch.end(), out);
        return {out, n};
    }

    Arena& arena_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    size_t work_;
    std::optional<Failure> failure_;

    std::pmr::vector<SharedString> strings_;
    std::pmr::vector<Shared> shared_;
    // Values and groups being read; each finished run of them moves into the arena.
    std::pmr::vector<Value> values_;
    std::pmr::vector<Group> groups_;
    std::pmr::vector<std::string_view> names_;
    std::pmr::vector<size_t> slots_;
};

// Arena

Arena::~Arena() {
    while (blocks_) {
        Block* previous = blocks_->previous;
        ::operator delete(blocks_);
        blocks_ = previous;
    }
}

void* Arena::grow(size_t bytes, size_t alignment) {
    // Each block is at least twice the last, so an archive takes a handful of them at most.
    const size_t size = std::max(nextSize_, bytes + alignment + sizeof(Block));
    auto* block = static_cast<Block*>(::operator new(size));
    block->previous = blocks_;
    blocks_ = block;
    nextSize_ = size * 2;
    next_ = reinterpret_cast<uintptr_t>(block + 1);
    end_ = reinterpret_cast<uintptr_t>(block) + size;
    const uintptr_t at = (next_ + alignment - 1) & ~(uintptr_t{alignment} - 1);
    next_ = at + bytes;
    return reinterpret_cast<void*>(at);
}

// Value

Value Value::makeInt(int64_t v) {
    Value out;
    out.kind_ = Kind::int_;
    out.u_.integer = v;
    return out;
}

Value Value::makeDouble(double v) {
    Value out;
    out.kind_ = Kind::double_;
    out.u_.real = v;
    return out;
}

Value Value::makeText(Kind kind, std::string_view text) {
    Value out;
    out.kind_ = kind;
    out.size_ = text.size();
    out.u_.chars = text.data();
    return out;
}

Value Value::makeObject(const Object* object) {
    Value out;
    out.kind_ = Kind::object;
    out.u_.object = object;
    return out;
}

Value Value::makeArray(std::span<const Value> elements) {
    Value out;
    out.kind_ = Kind::array;
    out.size_ = elements.size();
    out.u_.elements = elements.data();
    return out;
}

std::optional<int64_t> Value::intValue() const {
    if (kind_ == Kind::int_) return u_.integer;
    if (kind_ != Kind::double_) return std::nullopt;
    const double r = std::round(u_.real);
    // [-2^63, 2^63): both bounds are exact doubles; NaN fails both comparisons.
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return std::nullopt;
    return static_cast<int64_t>(r);
}

std::optional<int64_t> Value::asInt() const {
    if (kind_ != Kind::int_) return std::nullopt;
    return u_.integer;
}

std::optional<double> Value::asDouble() const {
    if (kind_ != Kind::double_) return std::nullopt;
    return u_.real;
}

std::optional<std::string_view> Value::text(Kind k) const {
    if (kind_ != k) return std::nullopt;
    return std::string_view(u_.chars, size_);
}

std::optional<std::string_view> Value::asBytes() const { return text(Kind::bytes); }
std::optional<std::string_view> Value::asCString() const { return text(Kind::cString); }
std::optional<std::string_view> Value::asClassName() const { return text(Kind::className); }
std::optional<std::string_view> Value::asSelector() const { return text(Kind::selector); }

std::optional<std::span<const Value>> Value::asArray() const {
    if (kind_ != Kind::array) return std::nullopt;
    return std::span<const Value>(u_.elements, size_);
}

// Object

bool Object::isKind(std::string_view name) const {
    return std::find(classChain_.begin(), classChain_.end(), name) != classChain_.end();
}

std::string_view Object::className() const { return classChain_.empty() ? std::string_view() : classChain_.front(); }

// Failure

Failure Failure::badTag(uint8_t tag, int64_t offset) {
    Failure f;
    f.kind = Kind::badTag;
    f.tag = tag;
    f.offset = offset;
    return f;
}

Failure Failure::badReference(int64_t index) {
    Failure f;
    f.kind = Kind::badReference;
    f.index = index;
    return f;
}

Failure Failure::badType(std::string type) {
    Failure f;
    f.kind = Kind::badType;
    f.type = std::move(type);
    return f;
}

Failure Failure::truncated() { return Failure{}; }

Failure Failure::badHeader() {
    Failure f;
    f.kind = Kind::badHeader;
    return f;
}

Failure Failure::tooDeep() {
    Failure f;
    f.kind = Kind::tooDeep;
    return f;
}

std::string Failure::description() const {
    switch (kind) {
        case Kind::badTag:
            return "unexpected tag 0x" + text::lowercaseHex(std::string(1, static_cast<char>(tag))) +
                   " where an integer was expected, at offset " + std::to_string(offset);
        case Kind::badReference:
            return "back-reference to entry " + std::to_string(index) + ", which does not exist or is of another kind";
        case Kind::badType: return "unsupported type encoding \"" + type + "\"";
        case Kind::truncated: return "the archive ends early, or a length or count in it is out of range";
        case Kind::badHeader: return "not a typedstream archive (bad header)";
        case Kind::tooDeep: return "the archive nests too deeply";
    }
    return "unknown failure";
}

// Decoding

std::optional<ObjectRef> Archive::rootObject() const {
    if (const Object* o = detail::firstObject(groups_)) return ObjectRef(arena_, o);
    return std::nullopt;
}

namespace {

tl::expected<std::span<const Group>, Failure> read(Arena& arena, std::span<const uint8_t> data, bool copy) {
    // The reader's working tables live on the stack for typical archives; only the result goes to
    // the arena.
    alignas(std::max_align_t) std::array<std::byte, 8192> buffer;
    std::pmr::monotonic_buffer_resource scratch(buffer.data(), buffer.size());
    Reader reader(data, copy, arena, &scratch);
    return reader.run();
}

}  // namespace

namespace detail {

tl::expected<std::span<const Group>, Failure> decodeInto(Arena& arena, std::span<const uint8_t> data) {
    return read(arena, data, false);
}

const Object* firstObject(std::span<const Group> groups) {
    for (const Group& g : groups)
        for (const Value& v : g.values)
            if (const Object* o = v.object()) return o;
    return nullptr;
}

}  // namespace detail

tl::expected<Archive, Failure> decode(std::span<const uint8_t> data) {
    // Sized from the archive so that it is usually one allocation.
    auto arena = std::make_shared<Arena>(data.size() * 3 + 512);
    auto groups = read(*arena, data, true);
    if (!groups) return tl::unexpected(std::move(groups.error()));
    return Reader::archive(std::move(arena), *groups);
}

tl::expected<std::optional<ObjectRef>, Failure> rootObject(std::span<const uint8_t> data) {
    auto archive = decode(data);
    if (!archive) return tl::unexpected(std::move(archive.error()));
    return archive->rootObject();
}

}  // namespace quillmark::TypedStream
