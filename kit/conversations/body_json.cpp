#include "conversations/body_json.h"

#include <string_view>
#include <unordered_map>

#include "core/text.h"

namespace quillmark::BodyJSON {

namespace {

JSON data(std::string_view bytes) { return JSON{{"data", text::lowercaseHex(bytes)}}; }

JSON optionalText(const std::optional<std::string>& text) { return text ? JSON(*text) : JSON(nullptr); }

// Walks an archive's groups, numbering objects as they are met.
class TreeWriter {
public:
    JSON groups(std::span<const TypedStream::Group> groups, int depth) {
        JSON out = JSON::array();
        for (const TypedStream::Group& group : groups) {
            JSON values = JSON::array();
            for (const TypedStream::Value& value : group.values) values.push_back(this->value(value, depth));
            JSON g = JSON::object();
            g["types"] = std::string(group.types);
            g["values"] = std::move(values);
            out.push_back(std::move(g));
        }
        return out;
    }

private:
    // Deeper than this the tree gives references only; the reader already refuses much deeper nesting.
    static constexpr int maxDepth = 200;

    JSON value(const TypedStream::Value& value, int depth) {
        using Kind = TypedStream::Value::Kind;
        switch (value.kind()) {
            case Kind::int_:
                return *value.asInt();
            case Kind::double_:
                return *value.asDouble();
            case Kind::bytes: {
                const std::string_view bytes = *value.asBytes();
                if (text::isValidUTF8(bytes)) return std::string(bytes);
                return data(bytes);
            }
            case Kind::cString:
                return text::validUTF8(*value.asCString());
            case Kind::object:
                return object(*value.object(), depth);
            case Kind::className:
                return JSON{{"class", std::string(*value.asClassName())}};
            case Kind::selector:
                return JSON{{"selector", std::string(*value.asSelector())}};
            case Kind::array: {
                JSON out = JSON::array();
                // The span lives in the optional: keep the optional, not a reference into a temporary.
                const auto elements = value.asArray();
                for (const TypedStream::Value& element : *elements) out.push_back(this->value(element, depth + 1));
                return out;
            }
            case Kind::null:
                return nullptr;
        }
        return nullptr;
    }

    JSON object(const TypedStream::Object& object, int depth) {
        auto [it, first] = numbers_.try_emplace(&object, numbers_.size() + 1);
        if (!first || depth >= maxDepth) return JSON{{"ref", it->second}};
        JSON out = JSON::object();
        out["object"] = it->second;
        JSON classes = JSON::array();
        for (std::string_view name : object.classChain()) classes.push_back(std::string(name));
        out["classes"] = std::move(classes);
        out["groups"] = groups(object.groups(), depth + 1);
        return out;
    }

    std::unordered_map<const TypedStream::Object*, size_t> numbers_;
};

}  // namespace

JSON attributedBody(const AttributedBody& body) {
    JSON runs = JSON::array();
    for (const AttributedBody::Run& run : body.runs) {
        JSON r = JSON::object();
        r["location"] = run.location;
        r["length"] = run.length;
        r["partIndex"] = run.partIndex ? JSON(*run.partIndex) : JSON(nullptr);
        r["attachmentGUID"] = optionalText(run.attachmentGUID);
        r["link"] = optionalText(run.link);
        r["mention"] = optionalText(run.mention);
        runs.push_back(std::move(r));
    }
    JSON out = JSON::object();
    out["text"] = body.text;
    out["runs"] = std::move(runs);
    return out;
}

JSON plainValue(const PlainValue& value) {
    struct Visitor {
        JSON operator()(const std::string& text) const { return text; }
        JSON operator()(int64_t integer) const { return integer; }
        JSON operator()(double real) const { return real; }
        JSON operator()(const PlainValue::Bytes& bytes) const {
            return data(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
        JSON operator()(const URLValue& url) const { return JSON{{"url", url.string}}; }
        JSON operator()(const PlainValue::Dictionary& dictionary) const {
            JSON out = JSON::object();
            for (const auto& [key, item] : dictionary) out[key] = plainValue(item);
            return out;
        }
        JSON operator()(const PlainValue::List& list) const {
            JSON out = JSON::array();
            for (const PlainValue& item : list) out.push_back(plainValue(item));
            return out;
        }
    };
    return std::visit(Visitor{}, value.value);
}

JSON tree(const TypedStream::Archive& archive) { return TreeWriter().groups(archive.groups(), 0); }

JSON archive(const TypedStream::Archive& archive) {
    JSON out = JSON::object();
    const auto root = archive.rootObject();
    std::optional<AttributedBody> body;
    if (root) body = AttributedBody::fromRoot(**root);
    out["attributedBody"] = body ? attributedBody(*body) : JSON(nullptr);
    out["plainValue"] = root ? plainValue(quillmark::plainValue(**root)) : JSON(nullptr);
    out["groups"] = tree(archive);
    return out;
}

JSON summary(const SummaryInfo& info) {
    JSON versions = JSON::array();
    for (const EditVersion& version : info.versions) versions.push_back(ModelJSON::toJSON(version));
    JSON out = JSON::object();
    out["versions"] = std::move(versions);
    out["retractedParts"] = info.retractedParts;
    return out;
}

}  // namespace quillmark::BodyJSON
