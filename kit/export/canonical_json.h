// CanonicalJSONWriter: JSON written one way only, so that the same values always give the same bytes.
//
// The fingerprint of an export is a hash over JSON text, so the text must never depend on a library's
// version or options. This writer fixes every choice: no white space between tokens; object members in
// ascending byte order of their keys (the caller writes them in that order; debug builds check it);
// integers in plain decimal; strings with only what JSON requires escaped: the quotation mark and the
// reverse solidus with a reverse solidus, the controls \b \f \n \r \t by name and every other control
// below U+0020 as \u00xx with lowercase hex digits. "/" and every non-ASCII character are written as
// they are, in UTF-8. Text that is not valid UTF-8 is mended before it is written: each maximal subpart
// of an ill-formed sequence (Unicode's recommended practice, as ICU reads UTF-8) becomes one U+FFFD, so
// the output is always valid UTF-8 and valid JSON, and damaged text still hashes the same way every time.
//
//   std::string out;
//   CanonicalJSONWriter w(out);
//   w.beginObject(); w.key("a"); w.integer(-5); w.key("b"); w.string("x/\"y\"\n"); w.endObject();
//   out == R"({"a":-5,"b":"x/\"y\"\n"})"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class CanonicalJSONWriter {
public:
    // Appends to `out`, which must outlive the writer.
    explicit CanonicalJSONWriter(std::string& out) : out_(out) {}

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next member; keys of one object must come in ascending byte order.
    void key(std::string_view key);
    void string(std::string_view value);
    void integer(int64_t value);

    // The quoted, escaped form of a text, appended to `out`.
    static void appendString(std::string& out, std::string_view value);

private:
    struct Level {
        bool first = true;
        bool isObject = false;
        std::string lastKey;  // checked in debug builds only
    };
    void beforeValue();

    std::string& out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace quillmark
