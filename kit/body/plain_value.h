// plainValue: the plain value of an archived Foundation object (text, number, data, URL, dictionary or
// list), and URLValue, the plain value of an archived URL.
//
// The first of these class names found in the object's class chain decides (so subclasses, mutable ones
// included, are read like their base class):
//
//   NSString                  text (the first byte string of the object, as UTF-8)
//   NSNumber, NSValue         the integer or float of its second group; 0 otherwise
//   NSData                    the first byte string; empty when there is none
//   NSURL                     URLValue with the text of its last string object
//   NSDictionary              text keys -> plain values (pairs whose key is not text are skipped)
//   NSArray, NSSet            plain values of the objects in its groups
//   NSAttributedString        the text of the attributed string
//   anything else             the text "<" + class name + ">"
//
//   auto root = TypedStream::rootObject(bytes);        // an archived NSDictionary {"k": 1}
//   PlainValue v = plainValue(**root.value());
//   v.dictionary()->at("k").integer()                  // -> pointer to 1
//
// Archived objects may refer to each other in cycles. The conversion stops at 64 nested containers and
// after 65,536 objects or 128 MiB of text and data in all; what lies beyond is given as
// "<" + class name + ">", like an object of a class it does not know.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "body/typed_stream.h"

namespace quillmark {

// URLValue: a URL as written in the archive, kept apart from plain text so that a link attribute can
// tell a URL object from a string.
struct URLValue {
    std::string string;

    friend bool operator==(const URLValue&, const URLValue&) = default;
};

// PlainValue: a dynamically typed value: text, signed integer, float, byte string, URL, dictionary from
// text, or list.
struct PlainValue {
    using Bytes = std::vector<uint8_t>;
    using Dictionary = std::map<std::string, PlainValue>;
    using List = std::vector<PlainValue>;
    using Storage = std::variant<std::string, int64_t, double, Bytes, URLValue, Dictionary, List>;

    Storage value;

    PlainValue() = default;
    PlainValue(std::string v) : value(std::move(v)) {}
    PlainValue(const char* v) : value(std::string(v)) {}
    PlainValue(int64_t v) : value(v) {}
    PlainValue(double v) : value(v) {}
    PlainValue(Bytes v) : value(std::move(v)) {}
    PlainValue(URLValue v) : value(std::move(v)) {}
    PlainValue(Dictionary v) : value(std::move(v)) {}
    PlainValue(List v) : value(std::move(v)) {}

    // The value of one case; nullptr for the others.
    const std::string* text() const { return std::get_if<std::string>(&value); }
    const int64_t* integer() const { return std::get_if<int64_t>(&value); }
    const double* real() const { return std::get_if<double>(&value); }
    const Bytes* bytes() const { return std::get_if<Bytes>(&value); }
    const URLValue* url() const { return std::get_if<URLValue>(&value); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&value); }
    const List* list() const { return std::get_if<List>(&value); }

    friend bool operator==(const PlainValue&, const PlainValue&) = default;
};

// plainValue: the plain value of an archived object, by the table above. Never fails.
PlainValue plainValue(const TypedStream::Object& object);

}  // namespace quillmark
