#include "export/canonical_json.h"

#include <algorithm>
#include <cassert>
#include <charconv>

#include <unicode/utf8.h>

#include "core/text.h"

namespace quillmark {

namespace {

// True for the bytes written as they are with no further look: printable ASCII other than '"' and '\'.
constexpr bool isPlainASCII(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

void appendEscapedControl(std::string& out, unsigned char c) {
    switch (c) {
        case '"': out += "\\\""; return;
        case '\\': out += "\\\\"; return;
        case '\b': out += "\\b"; return;
        case '\f': out += "\\f"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    out += "\\u00";
    out += text::lowercaseHex(std::string_view(reinterpret_cast<const char*>(&c), 1));
}

}  // namespace

void CanonicalJSONWriter::appendString(std::string& out, std::string_view value) {
    out += '"';
    const auto* s = reinterpret_cast<const unsigned char*>(value.data());
    const size_t length = value.size();
    size_t i = 0;
    while (i < length) {
        // Runs of ordinary characters are copied at once.
        size_t run = i;
        while (run < length && isPlainASCII(s[run])) ++run;
        out.append(value.data() + i, run - i);
        i = run;
        if (i >= length) break;
        if (s[i] < 0x80) {
            appendEscapedControl(out, s[i]);
            ++i;
            continue;
        }
        // A multi-byte sequence: kept when it is well-formed, otherwise its maximal invalid part becomes
        // one U+FFFD. ICU reads at most four bytes, so a window of the remaining text is enough.
        const auto window = static_cast<int32_t>(std::min<size_t>(length - i, 8));
        int32_t j = 0;
        UChar32 c;
        U8_NEXT(s + i, j, window, c);
        if (c < 0)
            out += "\xEF\xBF\xBD";
        else
            out.append(value.data() + i, static_cast<size_t>(j));
        i += static_cast<size_t>(j);
    }
    out += '"';
}

void CanonicalJSONWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    assert(!level.isObject && "a member of an object needs a key");
    if (!level.first) out_ += ',';
    level.first = false;
}

void CanonicalJSONWriter::beginObject() {
    beforeValue();
    out_ += '{';
    levels_.push_back(Level{true, true, {}});
}

void CanonicalJSONWriter::endObject() {
    assert(!levels_.empty() && levels_.back().isObject && !afterKey_);
    levels_.pop_back();
    out_ += '}';
}

void CanonicalJSONWriter::beginArray() {
    beforeValue();
    out_ += '[';
    levels_.push_back(Level{true, false, {}});
}

void CanonicalJSONWriter::endArray() {
    assert(!levels_.empty() && !levels_.back().isObject);
    levels_.pop_back();
    out_ += ']';
}

void CanonicalJSONWriter::key(std::string_view key) {
    assert(!levels_.empty() && levels_.back().isObject && !afterKey_);
    Level& level = levels_.back();
#ifndef NDEBUG
    // Members must be written sorted; a key out of order would silently change every fingerprint.
    assert((level.first || level.lastKey < key) && "object keys must be written in ascending byte order");
    level.lastKey = std::string(key);
#endif
    if (!level.first) out_ += ',';
    level.first = false;
    appendString(out_, key);
    out_ += ':';
    afterKey_ = true;
}

void CanonicalJSONWriter::string(std::string_view value) {
    beforeValue();
    appendString(out_, value);
}

void CanonicalJSONWriter::integer(int64_t value) {
    beforeValue();
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out_.append(buffer, end);
}

}  // namespace quillmark
