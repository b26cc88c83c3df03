// ExportService: how every front-end exports: one conversation to a file, or several into a folder, as PDF,
// CSV or HTML, with progress, and a result or a failure with a sentence.
//
// It owns everything around the exporters: destinations are checked before anything is written (never into
// or over the history, an HTML folder replaces only an earlier Quillmark export), SQLite's integrity check of
// the history runs beside the loading and must pass before a file is written, files are written atomically
// under a temporary name and hashed once written, and batch names get " 2", " 3" when taken.
//
//   ExportService::Request request;
//   request.conversations = {conversation};
//   request.format = ExportFormat::pdf;
//   request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "Europe/Berlin", "de_DE", "", now);
//   request.file = "/home/me/Anna.pdf";
//   auto exported = ExportService::run(history, request, progress);
//   if (!exported) show(exported.error().description());     // "Quillmark doesn't write into …"
//   exported->pages; exported->fileSHA256; exported->fingerprint;
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "conversations/conversation.h"
#include "conversations/date_range.h"
#include "conversations/message_thread.h"
#include "export/export_options.h"
#include "service/history.h"

namespace quillmark::ExportService {

struct Request {
    // One conversation (with `file`) or several (with `folder`), each loaded for `range`. A front-end that
    // shows a thread already may pass it as `thread` instead; it is then exported as it is.
    std::vector<Conversation> conversations;
    std::optional<MessageThread> thread;
    DateRange range;

    ExportFormat format = ExportFormat::pdf;
    ExportOptions options;       // the layout, paper, zone, locale and owner's name
    std::string nameLocale;      // the locale of conversation titles in file names; options.localeID when empty

    std::optional<std::filesystem::path> file;    // a PDF or CSV file, or the folder of an HTML export
    std::optional<std::filesystem::path> folder;  // a batch: each conversation under its name inside
};

// Where the work stands: a fraction from 0 to 1 and a phrase for the current step ("Laying out pages"),
// with the conversation at work (its title, from 1 of how many) and, for a PDF, the pages laid out so far.
struct Progress {
    double fraction = 0;
    std::string step;
    std::string conversation;
    int index = 0;
    int count = 0;
    int pages = 0;
};
// Called on the thread the export runs on. Returning false cancels the export at the next step; nothing
// half-written stays behind.
using ProgressHandler = std::function<bool(const Progress&)>;

// One written export.
struct File {
    std::filesystem::path url;               // the file, or the HTML folder
    std::optional<int> pages;                // PDF
    int64_t messages = 0;
    std::optional<std::string> fileSHA256;   // PDF and CSV: of the written file
    std::string fingerprint;                 // of the messages, for every format
    int64_t skippedFiles = 0;                // attachment files left out: not in this history
};
// Called after each file is written, before the next one starts.
using WrittenHandler = std::function<void(const File&)>;

// The outcome of a finished export. For one conversation the fields are those of its file (the fingerprint
// only for a PDF); for a batch `url` is the folder, `messages` and `skippedFiles` are sums and the rest is
// empty.
struct Exported {
    std::filesystem::path url;
    std::optional<int> pages;
    int64_t messages = 0;
    std::optional<std::string> fileSHA256;
    std::optional<std::string> fingerprint;
    int count = 0;
    int64_t skippedFiles = 0;
    std::vector<File> files;
};

struct Failure {
    enum class Kind {
        destination,  // the place cannot or may not be written: nothing was written
        damaged,      // the history failed its integrity check: nothing was written
        history,      // a query of the history failed
        write,        // writing failed; files of a batch written before stay
        cancelled,
    };
    Kind kind = Kind::write;
    std::string text;

    const std::string& description() const { return text; }
};

// run: the export. Conversations are loaded and written one after another; the first failure ends it.
[[nodiscard]] tl::expected<Exported, Failure> run(History& history, const Request& request,
                                                  const ProgressHandler& progress = {},
                                                  const WrittenHandler& written = {});

// checkDestination: whether an export may write at `path`: not the database or its log files, not inside
// the history's folders, and (when `replacesFolder`, as an HTML export does) not a folder holding any of
// them. Links and ".." are resolved first. The failure says "Quillmark doesn't write into the Messages
// history. Choose a folder outside PATH."
[[nodiscard]] tl::expected<void, Failure> checkDestination(const History::Protected& places,
                                                           const std::filesystem::path& path, bool replacesFolder);

// checkReplaceable: whether an HTML export may take the place of what stands at `folder`: nothing, an empty
// folder, or an earlier HTML export of Quillmark's (it holds the marker file). Anything else is refused:
// "PATH isn't an export made by Quillmark, so it is left as it is. Choose an empty or a new folder."
[[nodiscard]] tl::expected<void, Failure> checkReplaceable(const std::filesystem::path& folder);

// skippedFiles: the attachments of the thread whose files are not in this history.
int64_t skippedFiles(const MessageThread& thread);

}  // namespace quillmark::ExportService
