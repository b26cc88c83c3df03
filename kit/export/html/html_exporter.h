// HTMLExporter: a conversation as a folder that opens in any browser.
//
// The folder holds "index.html", one page that reads like the Messages app (bubbles left and right, a
// heading per month, time stamps after pauses, reactions, replies, edits, unsent messages, group events)
// with its own style sheet (light and dark, fit for printing), and "files/" with a copy of every attachment
// that is on this computer: pictures inline, video and audio playable, other files linked. Pictures in
// formats a browser may not show (HEIC, TIFF …) also get a JPEG copy, which the page shows; recordings a
// browser cannot play (a voice message's .caf) get a copy in .m4a or .ogg, which the page plays, with a
// link to download the original beside the player. The page's header carries the date range, the time
// zone and the fingerprint of the messages.
//
// Every text from the history is escaped; attachment names, which the sender chose, are made into safe
// file names before they are used under "files/". Each file is written under a temporary name and renamed
// into place, so no file in the folder is ever half written.
//
//   auto result = HTMLExporter::exportThread(thread, options, "/exports/Messages with Anna", media);
//   if (!result) return fail(result.error());   // "Could not write “/exports/…/index.html”: Disk quota exceeded."
//   result->index == "/exports/Messages with Anna/index.html";  result->files == 12
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

#include "core/failure.h"

#include "conversations/message_thread.h"
#include "export/attachment_media.h"
#include "export/export_options.h"

namespace quillmark::HTMLExporter {

// A sentence naming the path and the system's reason.
using Failure = SentenceFailure;

struct Result {
    std::filesystem::path index;  // the folder + "index.html"
    int files = 0;                // attachment files copied into "files" (JPEG and playable copies not counted)
    std::string fingerprint;      // the fingerprint of the messages, as the page shows it
};

// exportThread: writes the page, the files and the marker file (markerName) into `folder`, which is made
// when missing. Fails, with a
// sentence naming the path and the system's reason, only when "files" cannot be made or the page cannot
// be written; attachments copied before such a failure stay. A missing attachment never fails it: it shows
// as "not in this history", and one that cannot be copied as "could not be copied". Nor does a recording
// that cannot be converted to play: the page says so and offers the original for download.
[[nodiscard]] tl::expected<Result, Failure> exportThread(const MessageThread& thread,
                                                             const ExportOptions& options,
                                                             const std::filesystem::path& folder,
                                                             AttachmentMedia& media);

// linkify: the text escaped for HTML, its links (those of `links` that begin with "http") made into
// anchors, and its line feeds made into "<br>". Links are found in one pass from left to right, taking
// the longest link that starts at each place, so a link that begins another (https://a.com and
// https://a.com/b) never lands inside the other's anchor.
//   linkify("see https://a.com/b\nok", {"https://a.com"})
//     == "see <a href=\"https://a.com\">https://a.com</a>/b<br>ok"
std::string linkify(std::string_view text, const std::vector<std::string>& links);

// escape: "&", "<", ">" and the double quote replaced by their entities, nothing else.
std::string escape(std::string_view text);

// urlPath: a relative path as a URL: each piece between slashes percent-encoded as UTF-8, keeping only the
// characters a path segment may hold as they are (letters, digits, "-._~!$'()*+,;=:@"). "&" is encoded too,
// so that the URL can stand in an attribute without being read as the start of an entity.
//   urlPath("files/IMG 1#2.jpg") == "files/IMG%201%232.jpg"
std::string urlPath(std::string_view path);

// safeFileName: an attachment's name made safe to use as one file's name inside "files": "/" and NUL
// become "-", and a name that is empty, "." or ".." becomes "Attachment". Everything else is kept.
//   safeFileName("../../.bashrc") == "..-..-.bashrc"
std::string safeFileName(std::string_view name);

// The small file every HTML export folder holds, by which a later export recognises a folder it may replace.
inline constexpr std::string_view markerName = ".quillmark-export";

// The page's style sheet, written verbatim between <style> and </style>.
extern const std::string_view styleSheet;

}  // namespace quillmark::HTMLExporter
