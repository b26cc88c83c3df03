#include "body/attributed_body_writer.h"

#include <algorithm>

#include "body/typed_stream_writer.h"
#include "core/text.h"

namespace quillmark::AttributedBodyWriter {

namespace {

using TypedStream::Writer;

constexpr std::string_view partKey = "__kIMMessagePartAttributeName";
constexpr std::string_view guidKey = "__kIMFileTransferGUIDAttributeName";
constexpr std::string_view linkKey = "__kIMLinkAttributeName";
constexpr char16_t marker = u'\uFFFC';

// The attributes of one UTF-16 unit: the part, and indexes into the GUID and link lists (-1: none).
struct Attributes {
    int64_t part = 0;
    int64_t guid = -1;
    int64_t link = -1;

    friend bool operator==(const Attributes&, const Attributes&) = default;
};

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A URL reference as the platform's URL parser accepts it: nonempty, made only of the characters a URL
// may hold (RFC 3986, with % followed by two hex digits), and with a well-formed scheme when its first
// segment has a colon. Text with spaces, other controls or non-ASCII letters is not a URL.
bool isURL(std::string_view s) {
    if (s.empty()) return false;
    constexpr std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=";
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (isAlpha(c) || isDigit(c) || allowed.find(c) != std::string_view::npos) continue;
        if (c == '%' && i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2])) {
            i += 2;
            continue;
        }
        return false;
    }
    const size_t colon = s.find(':');
    if (colon == std::string_view::npos || s.find_first_of("/?#") < colon) return true;
    if (colon == 0 || !isAlpha(s[0])) return false;
    return std::all_of(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(colon),
                       [](char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; });
}

class BodyArchiver {
public:
    BodyArchiver(const std::vector<std::string>& guids, const std::vector<std::string>& links)
        : guids_(guids), links_(links) {}

    std::vector<uint8_t> archive(const std::string& text, const std::vector<Attributes>& units) && {
        w_.beginGroup("@");
        w_.beginObject({{"NSMutableAttributedString", 0}, {"NSAttributedString", 0}, {"NSObject", 0}});
        w_.beginGroup("@");
        w_.beginObject({{"NSMutableString", 1}, {"NSString", 1}, {"NSObject", 0}});
        w_.beginGroup("+");
        w_.writeBytes(text);
        w_.endObject();

        // Equal attributes share one dictionary, numbered from 1 in order of first use and written
        // only the first time.
        std::vector<Attributes> dictionaries;
        for (size_t start = 0; start < units.size();) {
            size_t end = start + 1;
            while (end < units.size() && units[end] == units[start]) ++end;
            auto known = std::find(dictionaries.begin(), dictionaries.end(), units[start]);
            const bool isNew = known == dictionaries.end();
            if (isNew) known = dictionaries.insert(dictionaries.end(), units[start]);
            w_.beginGroup("iI");
            w_.writeInt(known - dictionaries.begin() + 1);
            w_.writeInt(static_cast<int64_t>(end - start));
            if (isNew) dictionary(units[start]);
            start = end;
        }
        w_.endObject();
        return std::move(w_).finish();
    }

private:
    void dictionary(const Attributes& a) {
        w_.beginGroup("@");
        w_.beginObject({{"NSDictionary", 0}, {"NSObject", 0}});
        w_.beginGroup("i");
        w_.writeInt(1 + (a.guid >= 0) + (a.link >= 0));
        key(partKey);
        number(a.part);
        if (a.guid >= 0) {
            key(guidKey);
            string(guids_[static_cast<size_t>(a.guid)]);
        }
        if (a.link >= 0) {
            key(linkKey);
            url(links_[static_cast<size_t>(a.link)]);
        }
        w_.endObject();
    }

    // Attribute names are constant strings, archived once and referred back to afterwards.
    void key(std::string_view name) {
        const std::string k(name);
        if (auto it = keys_.find(k); it != keys_.end()) {
            w_.beginGroup("@");
            w_.writeReference(it->second);
            return;
        }
        keys_.emplace(k, string(name));
    }

    size_t string(std::string_view s) {
        w_.beginGroup("@");
        const size_t index = w_.beginObject({{"NSString", 1}, {"NSObject", 0}});
        w_.beginGroup("+");
        w_.writeBytes(s);
        w_.endObject();
        return index;
    }

    void number(int64_t n) {
        const bool small = n >= INT32_MIN && n <= INT32_MAX;
        const std::string_view type = small ? "i" : "q";
        w_.beginGroup("@");
        w_.beginObject({{"NSNumber", 0}, {"NSValue", 0}, {"NSObject", 0}});
        w_.beginGroup("*");
        w_.writeCString(type);
        w_.beginGroup(type);
        w_.writeInt(n);
        w_.endObject();
    }

    void url(std::string_view s) {
        w_.beginGroup("@");
        w_.beginObject({{"NSURL", 0}, {"NSObject", 0}});
        w_.beginGroup("c");
        w_.writeInt(0);  // no base URL
        string(s);
        w_.endObject();
    }

    Writer w_;
    const std::vector<std::string>& guids_;
    const std::vector<std::string>& links_;
    std::map<std::string, size_t> keys_;
};

}  // namespace

std::vector<uint8_t> archive(std::string_view text, std::span<const std::string> attachmentGUIDs,
                             const std::map<std::string, std::string>& links) {
    const std::string utf8 = text::validUTF8(text);
    const std::u16string utf16 = text::toUTF16(utf8);
    std::vector<Attributes> units(utf16.size());

    std::vector<std::string> guids;
    size_t searchFrom = 0;
    int64_t part = 1;
    for (const std::string& guid : attachmentGUIDs) {
        const size_t at = utf16.find(marker, searchFrom);
        if (at == std::u16string::npos) break;
        units[at].part = part++;
        units[at].guid = static_cast<int64_t>(guids.size());
        guids.push_back(text::validUTF8(guid));
        searchFrom = at + 1;
    }

    std::vector<std::string> targets;
    for (const auto& [visible, target] : links) {
        if (visible.empty() || !isURL(target)) continue;
        const std::u16string needle = text::toUTF16(visible);
        const size_t at = utf16.find(needle);
        if (at == std::u16string::npos) continue;
        // Links to the same target are one attribute value, so neighbouring stretches merge into one run.
        auto known = std::find(targets.begin(), targets.end(), target);
        if (known == targets.end()) known = targets.insert(targets.end(), target);
        const auto index = static_cast<int64_t>(known - targets.begin());
        for (size_t i = at; i < at + needle.size(); ++i) units[i].link = index;
    }

    return BodyArchiver(guids, targets).archive(utf8, units);
}

}  // namespace quillmark::AttributedBodyWriter
