// Verifier: is this PDF an unchanged export of messages that are still the same on this computer?
//
// It reads the verification record embedded in the PDF, loads the same conversation and dates from the
// local history, renders the export again with exactly the recorded options, and compares the text of
// every page and the two fingerprints. The fingerprint decides whether the messages changed; when they did
// not, the pages decide whether the file was altered.
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
// The messages are the ones exported, but the listed pages (from 1, ascending) of the file read differently.
struct PDFChanged {
    std::vector<int64_t> pages;
    std::string fingerprint;
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

// Page text as compared: white space runs become one blank, none at the ends, and the text in composed form
// so that canonically equivalent texts compare equal.
//   normalized("  a\n\n b\t") == "a b"
std::string normalized(std::string_view text);

// The page list as people read it: at most eight numbers, then how many more.
//   pageList({1,2,3,4,5,6,7,8,9,10,11,12}) == "1, 2, 3, 4, 5, 6, 7, 8 and 4 more"
std::string pageList(const std::vector<int64_t>& pages);

}  // namespace Verifier
}  // namespace quillmark
