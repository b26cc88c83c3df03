#include "body/plain_value.h"

#include <array>

#include "body/conversion.h"
#include "core/text.h"

namespace quillmark {

namespace conversion {

namespace {

using TypedStream::Object;

// The class names of the plain-value table with their rows; the first row named anywhere in the chain
// wins.
constexpr std::array<std::pair<std::string_view, Rule>, 9> ruleNames{{
    {"NSString", Rule::string},
    {"NSNumber", Rule::number},
    {"NSValue", Rule::number},
    {"NSData", Rule::data},
    {"NSURL", Rule::url},
    {"NSDictionary", Rule::dictionary},
    {"NSArray", Rule::list},
    {"NSSet", Rule::list},
    {"NSAttributedString", Rule::attributedString},
}};

// What an object stands for when the conversion does not (or may not) look inside it.
PlainValue placeholder(const Object& object) {
    const std::string_view name = object.className();
    std::string text;
    text.reserve(name.size() + 2);
    text.push_back('<');
    text.append(name);
    text.push_back('>');
    return text;
}

// The objects that begin the groups after the first: the entries of archived collections.
template <typename F>
void forEachMember(const Object& object, F&& f) {
    const auto groups = object.groups();
    for (size_t i = 1; i < groups.size(); ++i) {
        if (groups[i].values.empty()) continue;
        if (const Object* member = groups[i].values.front().object()) f(*member);
    }
}

PlainValue number(const Object& object) {
    const auto groups = object.groups();
    if (groups.size() < 2 || groups[1].values.empty()) return int64_t{0};
    const TypedStream::Value& v = groups[1].values.front();
    if (auto d = v.asDouble()) return *d;
    if (auto i = v.asInt()) return *i;
    return int64_t{0};
}

PlainValue url(const Object& object, Limits& limits) {
    const Object* last = nullptr;
    for (const TypedStream::Group& g : object.groups())
        for (const TypedStream::Value& v : g.values)
            if (const Object* o = v.object(); o && o->isKind("NSString")) last = o;
    if (!last) return URLValue{};
    PlainValue text = plainValue(*last, limits);
    if (const std::string* s = text.text()) return URLValue{*s};
    return URLValue{};
}

PlainValue dictionary(const Object& object, Limits& limits) {
    PlainValue::Dictionary out;
    const Object* key = nullptr;
    forEachMember(object, [&](const Object& member) {
        if (!key) {
            key = &member;
            return;
        }
        PlainValue k = plainValue(*key, limits);
        key = nullptr;
        if (std::string* text = std::get_if<std::string>(&k.value))
            out.insert_or_assign(std::move(*text), plainValue(member, limits));
    });
    return out;
}

PlainValue list(const Object& object, Limits& limits) {
    PlainValue::List out;
    forEachMember(object, [&](const Object& member) { out.push_back(plainValue(member, limits)); });
    return out;
}

}  // namespace

Rule ruleOf(const Object& object) {
    size_t best = ruleNames.size();
    for (std::string_view name : object.classChain()) {
        // Every name of the table begins "NS"; most class names of a chain can be passed over at once.
        if (name.size() < 5 || name[0] != 'N' || name[1] != 'S') continue;
        for (size_t i = 0; i < best; ++i)
            if (ruleNames[i].first == name) {
                best = i;
                break;
            }
    }
    return best < ruleNames.size() ? ruleNames[best].second : Rule::other;
}

std::optional<std::string_view> firstBytes(const Object& object) {
    for (const TypedStream::Group& g : object.groups())
        for (const TypedStream::Value& v : g.values)
            if (auto bytes = v.asBytes()) return bytes;
    return std::nullopt;
}

PlainValue plainValue(const Object& object, Limits& limits) {
    if (++limits.objects > Limits::maxObjects) return placeholder(object);
    const Rule rule = ruleOf(object);
    switch (rule) {
        case Rule::string:
        case Rule::data: {
            const std::string_view bytes = firstBytes(object).value_or(std::string_view());
            if (bytes.size() > Limits::maxBytes - limits.bytes) return placeholder(object);
            limits.bytes += bytes.size();
            if (rule == Rule::string) return text::validUTF8(bytes);
            return PlainValue::Bytes(bytes.begin(), bytes.end());
        }
        case Rule::number: return number(object);
        case Rule::url: return url(object, limits);
        case Rule::other: return placeholder(object);
        case Rule::dictionary:
        case Rule::list:
        case Rule::attributedString: break;
    }
    if (limits.depth >= Limits::maxDepth) return placeholder(object);
    ++limits.depth;
    PlainValue out;
    if (rule == Rule::dictionary) {
        out = dictionary(object, limits);
    } else if (rule == Rule::list) {
        out = list(object, limits);
    } else {
        out = attributedText(object, limits).value_or(std::string());
    }
    --limits.depth;
    return out;
}

std::optional<std::string> attributedText(const Object& root, Limits& limits) {
    if (!root.isKind("NSAttributedString")) return std::nullopt;
    const auto groups = root.groups();
    if (groups.empty() || groups.front().values.empty()) return std::nullopt;
    const Object* string = groups.front().values.front().object();
    // Only a string object carries the text. Anything else there (a class name damaged on the way, say) would
    // otherwise stand for the message as a placeholder such as "<NSStriXg>"; without a text, the caller falls
    // back to the text the database keeps beside the archive.
    if (!string || !string->isKind("NSString")) return std::nullopt;
    PlainValue text = plainValue(*string, limits);
    if (std::string* s = std::get_if<std::string>(&text.value)) return std::move(*s);
    return std::nullopt;
}

}  // namespace conversion

PlainValue plainValue(const TypedStream::Object& object) {
    conversion::Limits limits;
    return conversion::plainValue(object, limits);
}

}  // namespace quillmark
