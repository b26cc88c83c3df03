// ExportNames: the names exports are saved under.
//
// An export is offered as "Messages with " + the conversation's title + its date span, with the format's
// extension (an HTML export is a folder and has none). Characters that file systems or file dialogs refuse
// are replaced first. In a batch, a name that is already taken in the folder gets " 2", " 3" … before its
// extension, so no export overwrites another.
//
//   ExportNames::safeName("a/b: c")                            == "a-b- c"
//   ExportNames::suggestedName(thread, ExportFormat::csv, "Europe/Berlin", "en_US")
//       == "Messages with Anna Berg (2024-01-05 to 2024-03-31).csv"
//   ExportNames::freeName("/exports", "Messages with Anna Berg", ".csv")
//       == "Messages with Anna Berg 2.csv"      // when "Messages with Anna Berg.csv" exists there
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "conversations/message_thread.h"
#include "export/export_options.h"

namespace quillmark::ExportNames {

// safeName: the text with each of / : \ ? % * | " < > (and NUL) replaced by "-", controls and direction
// marks removed (text::withoutControls), then trimmed of white space at both ends. A text made only of the
// ten characters becomes dashes.
std::string safeName(std::string_view text);

// stem: "Messages with " + safeName(the conversation's title in `locale`), then " (first to last)" with the
// days of the first and last message as YYYY-MM-DD in `zone` when the thread has messages.
std::string stem(const MessageThread& thread, const std::string& zone, const std::string& locale);

// extension: ".pdf" or ".csv", and "" for HTML, whose export is a folder.
std::string extension(ExportFormat format);

// suggestedName: stem + extension.
std::string suggestedName(const MessageThread& thread, ExportFormat format, const std::string& zone,
                          const std::string& locale);

// freeName: stem + extension when nothing of that name is in the folder (a dangling link counts as
// something), otherwise the first of stem + " 2" + extension, stem + " 3" + extension … that is free.
std::string freeName(const std::filesystem::path& folder, std::string_view stem, std::string_view extension);

}  // namespace quillmark::ExportNames
