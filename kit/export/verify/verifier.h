// Verifier: is this PDF an unchanged export of messages that are still the same on this computer?
//
// It reads the verification record embedded in the PDF, loads the same conversation and dates from the
// local history, renders the export again with exactly the recorded options, and compares the two
// fingerprints. The fingerprint decides whether the messages changed; when they did not, the file is
// compared with the new rendering: a file equal to it byte for byte is unchanged; otherwise nothing may be
// added after its end, its record must equal the new one field by field, and every page must read the same
// word for word and look the same (see PageChecks).
//
//   auto outcome = Verifier::verify("/exports/Messages with Anna.pdf", library, AttachmentMedia::shared());
//   auto summary = Verifier::summary(outcome);   // {"This export is unchanged", "All 12 pages match …", true}
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/locale.h"
#include "export/attachment_media.h"
#include "export/pdf/verification_record.h"

namespace quillmark {

class Library;

namespace Verifier {

// Every page reads the same and the fingerprint is unchanged.
struct Matches {
    int64_t pages = 0;
    int64_t messages = 0;
    std::string fingerprint;
    friend bool operator==(const Matches&, const Matches&) = default;
};
// The messages are the ones exported, but the file was changed: the listed pages (from 1, ascending) read
// or look differently, something was added after its end, or a field of its record differs.
struct PDFChanged {
    enum class Kind { text, picture, added, record };
    std::vector<int64_t> pages;
    std::string fingerprint;
    Kind kind = Kind::text;
    std::string field;  // for a changed record: the field that differs
    friend bool operator==(const PDFChanged&, const PDFChanged&) = default;
};
// The messages here are no longer those exported.
struct MessagesDiffer {
    int64_t exported = 0;
    int64_t now = 0;
    std::vector<int64_t> pages;
    friend bool operator==(const MessagesDiffer&, const MessagesDiffer&) = default;
};
// The recorded conversation or dates cannot be loaded here.
struct ConversationMissing {
    friend bool operator==(const ConversationMissing&, const ConversationMissing&) = default;
};
// The file is not a readable PDF with a verification record.
struct NotAnExport {
    friend bool operator==(const NotAnExport&, const NotAnExport&) = default;
};

using Outcome = std::variant<Matches, PDFChanged, MessagesDiffer, ConversationMissing, NotAnExport>;

// What a person reads about an outcome.
struct Summary {
    std::string title;
    std::string detail;
    bool ok = false;
    friend bool operator==(const Summary&, const Summary&) = default;
};

// Verifies the PDF at path against the history of the library. Never fails: every failure is an outcome.
Outcome verify(const std::string& path, Library& library, AttachmentMedia& media);

// The title, explanation and good/bad flag of an outcome; counts of messages use the locale's grouping.
Summary summary(const Outcome& outcome, const std::string& locale = userLocale(LocaleCategory::messages));

// Page text with white space runs as one blank, none at the ends, and in composed form, so that canonically
// equivalent texts compare equal. Pages themselves are compared exactly: the same drawing extracts alike.
//   normalized("  a\n\n b\t") == "a b"
std::string normalized(std::string_view text);

// The page list as people read it: at most eight numbers, then how many more.
//   pageList({1,2,3,4,5,6,7,8,9,10,11,12}) == "1, 2, 3, 4, 5, 6, 7, 8 and 4 more"
std::string pageList(const std::vector<int64_t>& pages);

}  // namespace Verifier
}  // namespace quillmark
