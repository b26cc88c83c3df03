// AttributedBody: a message's text with its attribute runs, read from the archived attributed string
// that Messages keeps in the `attributedBody` column.
//
// Each run covers a stretch of the text (in UTF-16 code units, as archived) and carries what Messages
// attaches to it: the message part, the GUID of the attachment whose marker (U+FFFC) it covers, the
// link and the confirmed mention. Decoding never fails loudly: an archive that cannot be read, or that
// is not an attributed string, gives no body and the caller falls back to the plain `text` column.
//
//   std::optional<AttributedBody> body = AttributedBody::decode(row.body);
//   if (!body) return row.text;
//   body->text;               // "\uFFFCLook at this"
//   body->attachmentGUIDs();  // {"at_0_2E5F12C3-..."}
//   body->plainText();        // "Look at this"
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "body/typed_stream.h"

namespace quillmark {

struct AttributedBody {
    // Run: one attribute run. Locations and lengths are UTF-16 code units, exactly as archived; the
    // body never cuts its text by them.
    struct Run {
        int64_t location = 0;  // the sum of the lengths of all earlier runs
        int64_t length = 0;    // never negative
        std::optional<int64_t> partIndex;          // __kIMMessagePartAttributeName
        std::optional<std::string> attachmentGUID; // __kIMFileTransferGUIDAttributeName
        std::optional<std::string> link;           // __kIMLinkAttributeName (a URL's string, or text)
        std::optional<std::string> mention;        // __kIMMentionConfirmedMention

        friend bool operator==(const Run&, const Run&) = default;
    };

    // attachmentMarker: U+FFFC OBJECT REPLACEMENT CHARACTER, standing in the text for each attachment.
    static constexpr char32_t attachmentMarker = U'\uFFFC';
    static constexpr std::string_view attachmentMarkerUTF8 = "\xEF\xBF\xBC";

    std::string text;        // the whole text, with one U+FFFC where each attachment stands
    std::vector<Run> runs;   // in text order, from the start of the text without gaps

    // decode: the body of an archived attributed string; nothing when the bytes are not a typedstream
    // archive, hold no object, or their first object is not an attributed string with a text.
    static std::optional<AttributedBody> decode(std::span<const uint8_t> data);

    // fromRoot: the body of a decoded attributed-string object; nothing when `root` is not an
    // NSAttributedString or its first value is not a string object. Malformed runs are skipped.
    static std::optional<AttributedBody> fromRoot(const TypedStream::Object& root);

    // attachmentGUIDs: the attachment GUID of every run that has one, in run order (a GUID whose
    // marker spans two runs is listed twice).
    std::vector<std::string> attachmentGUIDs() const;

    // plainText: the text without U+FFFC, trimmed of white space and line breaks at both ends.
    //   {"\uFFFC  Hello \n"} -> "Hello"
    std::string plainText() const;

    friend bool operator==(const AttributedBody&, const AttributedBody&) = default;
};

}  // namespace quillmark
