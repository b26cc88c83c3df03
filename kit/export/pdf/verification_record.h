// VerificationRecord: what a PDF export says about itself, so that it can be checked later: which chats,
// which dates, which options and names, which fingerprint, how many messages and pages.
//
// The record travels in the PDF's Keywords entry as one word: "quillmark-verify:" followed by URL-safe
// Base64 (no padding) of a JSON object with sorted keys. The word holds no blank and no comma, so other
// keywords around it do not disturb reading it back.
//
//   std::string word = record.encoded();                 // "quillmark-verify:eyJjaGF0cyI6WyJpTWVz…"
//   VerificationRecord::decode("draft, " + word + ", x")  // == record
//   VerificationRecord::record("/exports/Messages with Anna.pdf")   // nothing for a PDF made elsewhere
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversations/message_thread.h"
#include "core/date.h"
#include "export/export_options.h"
#include "export/graphics/pdf_document.h"

namespace quillmark {

struct VerificationRecord {
    int64_t version = 1;
    std::vector<std::string> chats;           // the conversation's chat GUIDs, in its own order
    std::optional<Date> start;                // the thread's date range; absent when open
    std::optional<Date> end;
    ExportOptions options;
    std::map<std::string, std::string> names;  // handle address → the display name the export used
    std::string fingerprint;                   // 64 lowercase hex digits
    int64_t messages = 0;
    int64_t pages = 0;
    std::optional<HistoryOrigin> origin;       // where the history came from, when not a Messages folder

    static constexpr std::string_view prefix = "quillmark-verify:";

    // encoded: the prefix and the record's payload. Dates are whole milliseconds since 1970; start, end and
    // origin are left out when absent. Invalid UTF-8 in a text is written as U+FFFD.
    std::string encoded() const;

    // decode: the record in the first "quillmark-verify:" word of the text (the word ends at white space,
    // a comma or the end); nothing when there is none, its Base64 is not valid (any character outside the
    // URL-safe alphabet, or a length of 4n + 1), or its JSON lacks a key (only start and end may be absent)
    // or holds a value of the wrong kind. Unknown keys are ignored; origin may be absent too.
    static std::optional<VerificationRecord> decode(std::string_view text);

    // record: the record of a PDF file, read from its Keywords (one text or a list of texts): the first
    // keyword that decodes, else the keywords joined without separator; nothing when the file is not a PDF
    // or carries no record.
    static std::optional<VerificationRecord> record(const std::string& pdfPath);
    // The same for a document already open, and for keywords already read from one.
    static std::optional<VerificationRecord> read(const graphics::PDFDocument& document);
    static std::optional<VerificationRecord> record(const std::vector<std::string>& keywords);

    friend bool operator==(const VerificationRecord&, const VerificationRecord&) = default;
};

}  // namespace quillmark
