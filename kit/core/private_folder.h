// PrivateFolder: a folder under the system's temporary folder that only this user may enter (mode 700),
// removed with everything in it when the last owner lets it go, and by TemporaryPaths when the program is
// interrupted.
//
// Copies of a history that SQLite must read as files of their own (a database with its write-ahead log, the
// databases of an encrypted iPhone backup, decrypted) go into one such folder, so that nothing readable by
// others is ever made and nothing stays behind.
//
//   auto folder = PrivateFolder::make("quillmark-backup");
//   if (!folder) return folder.error();                 // "can't make a private folder in /tmp: …"
//   write((*folder)->path() / "sms.db", …);
//   // the folder and its content go when the last shared_ptr does
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <tl/expected.hpp>

#include "core/failure.h"
#include "core/temporary_paths.h"

namespace quillmark {

class PrivateFolder {
public:
    using Failure = SentenceFailure;

    // make: a new folder named `prefix` + "-" + random hex digits.
    [[nodiscard]] static tl::expected<std::shared_ptr<PrivateFolder>, Failure> make(const std::string& prefix);

    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    PrivateFolder(std::filesystem::path path, TemporaryPaths::Hold hold) : path_(std::move(path)), hold_(std::move(hold)) {}
    std::filesystem::path path_;
    TemporaryPaths::Hold hold_;
};

}  // namespace quillmark
