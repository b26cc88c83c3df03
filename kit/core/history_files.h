// HistoryFiles: the folder that a history's files lie in, and the one way those files are opened.
//
// A Messages history keeps its attachments (and sticker caches) in the folder that holds its database.
// Whatever path the database names, a file is read only when it is a regular file inside that folder, with
// every link on its way resolved inside it (ReadableFile::openBeneath). Everything else counts as a file that
// is not in this history, shown and reported like a missing one.
//
//   auto files = HistoryFiles::inFolder("/home/me/Library/Messages");
//   files->open("/home/me/Library/Messages/Attachments/ab/IMG_1.HEIC");   // the file
//   files->open("/etc/passwd").error() == ReadableFile::Refusal::outside
//   files->contains("/home/me/Library/Messages/../.ssh/id_ed25519") == false
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <tl/expected.hpp>

#include "core/readable_file.h"

namespace quillmark {

class HistoryFiles {
public:
    // inFolder: the files below `folder` (made absolute). A folder that cannot be opened holds no files.
    static std::shared_ptr<const HistoryFiles> inFolder(const std::string& folder);

    virtual ~HistoryFiles() = default;
    HistoryFiles(const HistoryFiles&) = delete;
    HistoryFiles& operator=(const HistoryFiles&) = delete;

    // The folder, absolute, as it was named (links in it are not resolved).
    const std::string& folder() const { return folder_; }

    // open: the regular file at `path`, which must name a place below the folder.
    [[nodiscard]] virtual tl::expected<ReadableFile, ReadableFile::Failure> open(const std::string& path) const;

    // contains: whether open would give a file now (without reading it, where that costs: an encrypted file
    // is not decrypted to answer).
    virtual bool contains(const std::string& path) const { return open(path).has_value(); }

protected:
    HistoryFiles(std::string folder, std::optional<ReadableFile> root);

private:
    std::string folder_;
    std::optional<ReadableFile> root_;
};

}  // namespace quillmark
