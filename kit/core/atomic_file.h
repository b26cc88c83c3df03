// AtomicFile: writing a file so that readers see the old content or the whole new content, never a part.
//
// Exports are the only files Quillmark writes, and a half-written export that looks complete is worse than
// none. So every export file is written under a temporary name in its destination folder (the same file
// system, so the rename cannot turn into a copy), flushed to the disk, and renamed over the destination.
// A failure removes the temporary file and leaves whatever stood at the destination untouched.
//
//   auto written = AtomicFile::write("/exports/chat.csv", bytes);
//   if (!written) std::cerr << written.error();   // "Could not write “/exports/chat.csv”: No space left on device."
//   AtomicFile::copy("/data/IMG_1.HEIC", "/exports/chat/files/IMG_1.HEIC");
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

namespace quillmark::AtomicFile {

// write: replaces the file at `path` with the bytes. The folder must exist. A new file gets the usual
// permissions (0666 less the process's umask). The error is a sentence naming the path and the system's
// reason.
[[nodiscard]] tl::expected<void, std::string> write(const std::filesystem::path& path, std::string_view bytes);

// copy: replaces the file at `destination` with a copy of the bytes of `source`, read in chunks. The error
// names the file that could not be read or written.
[[nodiscard]] tl::expected<void, std::string> copy(const std::filesystem::path& source,
                                                   const std::filesystem::path& destination);

}  // namespace quillmark::AtomicFile
