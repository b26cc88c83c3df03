// AtomicFile: writing a file so that readers see the old content or the whole new content, never a part.
//
// Exports are the only files Quillmark writes, and a half-written export that looks complete is worse than
// none. So every export file is written under a temporary name in its destination folder (the same file
// system, so the rename cannot turn into a copy), flushed to the disk, and renamed over the destination.
// A failure removes the temporary file and leaves whatever stood at the destination untouched.
//
//   auto written = AtomicFile::write("/exports/chat.csv", bytes);
//   if (!written) std::cerr << written.error();   // "Could not write “/exports/chat.csv”: No space left on device."
//   AtomicFile::copy(file, "IMG_1.HEIC", "/exports/chat/files/IMG_1.HEIC");
//   AtomicFile::replaceFolder("/exports/Messages with Anna", [&](const auto& temporary) { return fill(temporary); });
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

#include "core/failure.h"
#include "core/readable_file.h"

namespace quillmark::AtomicFile {

// A sentence naming the path and the system's reason.
using Failure = SentenceFailure;

// write: replaces the file at `path` with the bytes. The folder must exist. A new file gets the usual
// permissions (0666 less the process's umask). The error is a sentence naming the path and the system's
// reason.
[[nodiscard]] tl::expected<void, Failure> write(const std::filesystem::path& path, std::string_view bytes);

// copy: replaces the file at `destination` with a copy of the bytes of the open `source`, from its start.
// The error names the file that could not be read (by `sourceName`) or written.
[[nodiscard]] tl::expected<void, Failure> copy(const ReadableFile& source, std::string_view sourceName,
                                                   const std::filesystem::path& destination);

// replaceFolder: a folder made whole or not at all. `fill` writes everything into a new, empty temporary
// folder beside `destination`; when it succeeds, that folder takes the destination's place in one step,
// and a folder that stood there before is removed. When `fill` fails, its error is returned and the
// temporary folder removed, leaving the destination as it was. Something at the destination that is not a
// folder is not replaced: that is an error.
using FolderFill = std::function<tl::expected<void, Failure>(const std::filesystem::path& temporary)>;
[[nodiscard]] tl::expected<void, Failure> replaceFolder(const std::filesystem::path& destination,
                                                            const FolderFill& fill);

}  // namespace quillmark::AtomicFile
