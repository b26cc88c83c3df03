// TypedStream: the reader of typedstream archives, the format in which Messages keeps a message's rich
// text (the `attributedBody` column) and the texts of earlier versions of edited messages.
//
// It turns the bytes into a generic tree: groups of typed values, where a value may be an archived
// object with its class chain and its own groups. It knows nothing about what the classes mean
// (see AttributedBody and plainValue for that). The reader is pure and strict: anything it does not
// understand fails the whole decode with a `Failure`, and callers treat that as "no body".
//
//   auto archive = TypedStream::decode(bytes);
//   if (!archive) return;                                // archive.error().description()
//   for (const TypedStream::Group& group : archive->groups())
//       for (const TypedStream::Value& value : group.values)
//           if (const TypedStream::Object* object = value.object())
//               object->className();                    // "NSMutableAttributedString"
//
//   auto root = TypedStream::rootObject(bytes);          // the first object of the archive, kept alive
//   if (root && *root) (**root)->isKind("NSAttributedString");
//
// Every object, string and value of a decoded archive lives in one arena owned by the `Archive` (or
// `ObjectRef`) that the call returns; views into it stay valid as long as one of those is alive. Objects
// may refer to each other in cycles; the arena owns them all, so nothing leaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

namespace quillmark::TypedStream {

class Object;
class Arena;

// Value: one typed value of a group. A tagged union; the case follows from the type character it was
// read for.
//
//   int_       c C s S i I l L q Q B               asInt()
//   double_    f (widened) and d                   asDouble()
//   bytes      + and arrays of exactly c or C      asBytes()
//   cString    *                                   asCString()
//   object     @                                   object()
//   className  # (the first name of the chain)     asClassName()
//   selector   :                                   asSelector()
//   array      [..] of other types, {..}, (..)     asArray()
//   null       v, and a nil object, class, selector or C string
class Value {
public:
    enum class Kind : uint8_t { int_, double_, bytes, cString, object, className, selector, array, null };

    Value() = default;  // null

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::null; }

    // object: the Object of an `object` value; nullptr for every other case.
    const Object* object() const { return kind_ == Kind::object ? u_.object : nullptr; }

    // intValue: the integer of an `int_` value; the rounded value of a `double_` value (to nearest, ties
    // away from zero) when that lies in [-2^63, 2^63); nothing otherwise (other cases, NaN, out of range).
    //   int_(7) -> 7, double_(2.5) -> 3, double_(-2.5) -> -3, double_(1e300) -> nullopt
    std::optional<int64_t> intValue() const;

    // The payload of one case; nothing for the other cases.
    std::optional<int64_t> asInt() const;
    std::optional<double> asDouble() const;
    std::optional<std::string_view> asBytes() const;
    std::optional<std::string_view> asCString() const;
    std::optional<std::string_view> asClassName() const;
    std::optional<std::string_view> asSelector() const;
    std::optional<std::span<const Value>> asArray() const;

private:
    friend class Reader;
    static Value makeInt(int64_t v);
    static Value makeDouble(double v);
    static Value makeText(Kind kind, std::string_view text);
    static Value makeObject(const Object* object);
    static Value makeArray(std::span<const Value> elements);
    std::optional<std::string_view> text(Kind k) const;

    Kind kind_ = Kind::null;
    size_t size_ = 0;  // length of a text, byte string or array
    union {
        int64_t integer;
        double real;
        const char* chars;
        const Object* object;
        const Value* elements;
    } u_{0};
};

// Group: the values written together under one type-encoding string.
struct Group {
    std::string_view types;          // the type string as UTF-8 (invalid sequences replaced by U+FFFD)
    std::span<const Value> values;   // one value per top-level type in `types`, in order
};

// Object: an archived object. Identity matters: a back-reference yields the same Object, so the graph
// may share objects and contain cycles (an object may even contain itself).
class Object {
public:
    // The object's class name first, then each superclass up to the root class.
    std::span<const std::string_view> classChain() const { return classChain_; }
    // The groups the object's archiving code wrote, in stream order.
    std::span<const Group> groups() const { return groups_; }

    // isKind: true when `name` is exactly one of the names of the class chain.
    //   an NSMutableAttributedString object isKind("NSAttributedString") == true
    bool isKind(std::string_view name) const;

    // className: the first name of the class chain, or "" when the chain is empty.
    std::string_view className() const;

private:
    friend class Reader;
    std::span<const std::string_view> classChain_;
    std::span<const Group> groups_;
};

// Failure: why an archive could not be read. Compares equal case by case and payload by payload.
struct Failure {
    enum class Kind : uint8_t { badTag, badReference, badType, truncated, badHeader, tooDeep };

    Kind kind = Kind::truncated;
    uint8_t tag = 0;      // badTag: the byte 0x83..0x86 that stood where an integer was expected
    int64_t offset = 0;   // badTag: the offset of that byte in the archive
    int64_t index = 0;    // badReference: the table index the reference computed
    std::string type;     // badType: the offending character, the whole type string, "nil" or "class"

    static Failure badTag(uint8_t tag, int64_t offset);
    static Failure badReference(int64_t index);
    static Failure badType(std::string type);
    static Failure truncated();
    static Failure badHeader();
    static Failure tooDeep();

    // One line a developer can act on, e.g. "unexpected tag 0x85 at offset 42".
    std::string description() const;

    friend bool operator==(const Failure&, const Failure&) = default;
};

// ObjectRef: one object of a decoded archive, keeping the whole archive alive.
class ObjectRef {
public:
    ObjectRef(std::shared_ptr<const Arena> arena, const Object* object)
        : arena_(std::move(arena)), object_(object) {}

    const Object& operator*() const { return *object_; }
    const Object* operator->() const { return object_; }
    const Object* get() const { return object_; }

private:
    std::shared_ptr<const Arena> arena_;
    const Object* object_;
};

// Archive: the decoded groups of one archive. Owns every object of it.
class Archive {
public:
    std::span<const Group> groups() const { return groups_; }

    // rootObject: the first `object` value of the top-level groups (see TypedStream::rootObject).
    std::optional<ObjectRef> rootObject() const;

private:
    friend class Reader;
    std::shared_ptr<const Arena> arena_;
    std::span<const Group> groups_;
};

// decode: reads the header, then groups until every byte has been consumed. Fails on anything it does
// not understand; no partial result is returned.
//   decode({})                                  -> Failure::truncated()
//   decode(header only)                         -> an Archive with no groups
[[nodiscard]] tl::expected<Archive, Failure> decode(std::span<const uint8_t> data);

// rootObject: the first `object` value of the archive, scanning the top-level groups in order and each
// group's values in order (values nested in arrays are not searched); nothing when there is none.
[[nodiscard]] tl::expected<std::optional<ObjectRef>, Failure> rootObject(std::span<const uint8_t> data);

}  // namespace quillmark::TypedStream
