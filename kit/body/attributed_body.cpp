#include "body/attributed_body.h"

#include <array>
#include <cstddef>

#include "body/conversion.h"
#include "body/typed_stream_arena.h"
#include "core/text.h"

namespace quillmark {

namespace conversion {

namespace {

using TypedStream::Group;
using TypedStream::Object;

constexpr std::string_view partKey = "__kIMMessagePartAttributeName";
constexpr std::string_view guidKey = "__kIMFileTransferGUIDAttributeName";
constexpr std::string_view linkKey = "__kIMLinkAttributeName";
constexpr std::string_view mentionKey = "__kIMMentionConfirmedMention";

// The attributes of a run that the system uses, out of one attribute dictionary.
struct Attributes {
    std::optional<int64_t> partIndex;
    std::optional<std::string> attachmentGUID;
    std::optional<std::string> link;
    std::optional<std::string> mention;
};

enum class Key { part, guid, link, mention, other };

Key keyOf(std::string_view text) {
    if (text == partKey) return Key::part;
    if (text == guidKey) return Key::guid;
    if (text == linkKey) return Key::link;
    if (text == mentionKey) return Key::mention;
    return Key::other;
}

// Which attribute a dictionary key names. String keys are compared as archived: the attribute names are
// ASCII, so raw bytes equal one exactly when their UTF-8 reading does, and no copy is needed.
Key keyOf(const Object& key, Limits& limits) {
    if (ruleOf(key) == Rule::string) return keyOf(firstBytes(key).value_or(std::string_view()));
    const PlainValue text = plainValue(key, limits);
    return text.text() ? keyOf(*text.text()) : Key::other;
}

// The attribute dictionary's plain value, reduced to the four attributes: the same entries (a later equal
// key replacing an earlier one) without converting the values of every other attribute, such as the
// archived data-detector results that most messages carry.
Attributes attributesOf(const Object& dictionary, Limits& limits) {
    if (ruleOf(dictionary) != Rule::dictionary) return {};
    if (++limits.objects > Limits::maxObjects || limits.depth >= Limits::maxDepth) return {};
    ++limits.depth;
    const Object* values[4] = {};
    const Object* key = nullptr;
    const auto groups = dictionary.groups();
    for (size_t i = 1; i < groups.size(); ++i) {
        if (groups[i].values.empty()) continue;
        const Object* member = groups[i].values.front().object();
        if (!member) continue;
        if (!key) {
            key = member;
            continue;
        }
        const Key k = keyOf(*key, limits);
        key = nullptr;
        if (k != Key::other) values[static_cast<int>(k)] = member;
    }
    Attributes out;
    auto value = [&](Key k) -> PlainValue {
        if (!values[static_cast<int>(k)]) return {};
        return plainValue(*values[static_cast<int>(k)], limits);
    };
    auto text = [](PlainValue&& v) -> std::optional<std::string> {
        if (auto* s = std::get_if<std::string>(&v.value)) return std::move(*s);
        return std::nullopt;
    };
    if (values[0]) {
        const PlainValue part = value(Key::part);
        if (part.integer()) out.partIndex = *part.integer();
    }
    if (values[1]) out.attachmentGUID = text(value(Key::guid));
    if (values[2]) {
        PlainValue link = value(Key::link);
        if (auto* u = std::get_if<URLValue>(&link.value)) {
            out.link = std::move(u->string);
        } else {
            out.link = text(std::move(link));
        }
    }
    if (values[3]) out.mention = text(value(Key::mention));
    --limits.depth;
    return out;
}

// An "iI" group that can start a run: its dictionary number and its length.
std::optional<std::pair<int64_t, int64_t>> runHeader(const Group& g) {
    if (g.types != "iI" || g.values.size() != 2) return std::nullopt;
    const auto number = g.values[0].intValue();
    const auto length = g.values[1].intValue();
    if (!number || !length || *length < 0) return std::nullopt;
    return std::pair{*number, *length};
}

bool isDictionaryGroup(const Group& g) {
    if (g.types != "@" || g.values.empty()) return false;
    const Object* o = g.values.front().object();
    return o && o->isKind("NSDictionary");
}

}  // namespace

std::optional<AttributedBody> attributedBody(const Object& root, Limits& limits) {
    auto text = attributedText(root, limits);
    if (!text) return std::nullopt;
    AttributedBody body;
    body.text = std::move(*text);

    std::vector<Attributes> known;
    int64_t location = 0;
    const auto groups = root.groups();
    body.runs.reserve(groups.size() / 2);
    size_t cursor = 1;
    while (cursor < groups.size()) {
        const auto header = runHeader(groups[cursor]);
        if (!header) {
            ++cursor;
            continue;
        }
        const auto [number, length] = *header;
        Attributes attributes;
        if (cursor + 1 < groups.size() && isDictionaryGroup(groups[cursor + 1])) {
            attributes = attributesOf(*groups[cursor + 1].values.front().object(), limits);
            if (static_cast<int64_t>(known.size()) < number) known.push_back(attributes);
            cursor += 2;
        } else {
            if (number >= 1 && number <= static_cast<int64_t>(known.size()))
                attributes = known[static_cast<size_t>(number - 1)];
            cursor += 1;
        }
        // A run whose end does not fit a 64-bit location cannot be told apart from damage; it is
        // skipped like other malformed runs rather than wrapping the locations of all that follow.
        int64_t end;
        if (__builtin_add_overflow(location, length, &end)) continue;
        body.runs.push_back(AttributedBody::Run{location, length, std::move(attributes.partIndex),
                                                std::move(attributes.attachmentGUID), std::move(attributes.link),
                                                std::move(attributes.mention)});
        location = end;
    }
    return body;
}

}  // namespace conversion

std::optional<AttributedBody> AttributedBody::decode(std::span<const uint8_t> data) {
    // The tree is needed only while the body is built from it, so it lives on the stack and views the
    // caller's bytes; a typical message body needs no heap memory but for the body itself.
    alignas(std::max_align_t) std::array<std::byte, 16384> buffer;
    TypedStream::Arena arena(buffer.data(), buffer.size());
    auto groups = TypedStream::detail::decodeInto(arena, data);
    if (!groups) return std::nullopt;
    const TypedStream::Object* root = TypedStream::detail::firstObject(*groups);
    if (!root) return std::nullopt;
    return fromRoot(*root);
}

std::optional<AttributedBody> AttributedBody::fromRoot(const TypedStream::Object& root) {
    conversion::Limits limits;
    return conversion::attributedBody(root, limits);
}

std::vector<std::string> AttributedBody::attachmentGUIDs() const {
    std::vector<std::string> out;
    for (const Run& run : runs)
        if (run.attachmentGUID) out.push_back(*run.attachmentGUID);
    return out;
}

std::string AttributedBody::plainText() const {
    std::string withoutMarkers;
    withoutMarkers.reserve(text.size());
    size_t from = 0;
    for (size_t at; (at = text.find(attachmentMarkerUTF8, from)) != std::string::npos; from = at + attachmentMarkerUTF8.size())
        withoutMarkers.append(text, from, at - from);
    withoutMarkers.append(text, from);
    return text::trimmed(withoutMarkers);
}

}  // namespace quillmark
