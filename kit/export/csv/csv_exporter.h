// CSVExporter: a thread as a table for spreadsheets, one row per message.
//
// The bytes are UTF-8 with a byte-order mark (so spreadsheet programs read the text as UTF-8), records end
// in CR LF, and a cell is quoted only when it holds a comma, a double quote, a line feed or a carriage
// return (quotes inside are doubled). Sixteen columns:
//
//   Date and time, Time zone, From, From address, To, Service, Text, Attachments, Attachment SHA-256,
//   Reactions, Edited, Earlier versions, Unsent, In reply to, Effect, Message ID
//
// Times are ISO 8601 in the export's zone, to the second ("2024-03-05T14:07:09-05:00", "…T19:07:09Z" at
// offset zero). The owner is named options.me(). A file that is not on this computer shows as "not in this
// history" in the hash column while its name stays in the names column.
//
//   auto csv = CSVExporter::exportThread(thread, options, AttachmentMedia::shared());
//   AtomicFile::write(path, csv.bytes);   csv.fingerprint;
#pragma once

#include <string>

#include "conversations/message_thread.h"
#include "export/attachment_media.h"
#include "export/export_options.h"

namespace quillmark::CSVExporter {

struct Output {
    std::string bytes;        // the file
    std::string fingerprint;  // of the messages, taken along the way: the attachment files are hashed once
};

// exportThread: the file's bytes and the messages' fingerprint. Never fails; absent values give empty cells.
Output exportThread(const MessageThread& thread, const ExportOptions& options, AttachmentMedia& media);

}  // namespace quillmark::CSVExporter
