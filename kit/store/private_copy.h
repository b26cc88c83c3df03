// PrivateCopy: a copy of a database and its write-ahead log in a private folder (PrivateFolder), removed
// with the object (and by TemporaryPaths when the program is interrupted).
//
// Reading a write-ahead-log database in place makes SQLite create or rewrite the "-shm" index beside it,
// and on read-only media it cannot read the log at all. Reading a copy gets every message, the newest ones
// in the log included, and writes nothing beside the original. The copy's own index is rebuilt from the
// log; the original's "-shm" is never read.
#pragma once

#include <memory>
#include <string>

#include <tl/expected.hpp>

#include "core/failure.h"
#include "core/private_folder.h"

namespace quillmark {

class PrivateCopy {
public:
    // A sentence naming the folder that could not be made or the file that could not be copied.
    using Failure = SentenceFailure;

    // Copies `path` and `path-wal` into a new folder that only this user may enter; nothing is left behind
    // when that fails.
    [[nodiscard]] static tl::expected<std::unique_ptr<PrivateCopy>, Failure> make(const std::string& path);

    // Copies `database` and `log` (its write-ahead log, which may lie under another name, as in an iPhone
    // backup) into `folder` as `name` and `name`-wal.
    [[nodiscard]] static tl::expected<std::unique_ptr<PrivateCopy>, Failure> make(
        const std::string& database, const std::string& log, std::shared_ptr<PrivateFolder> folder,
        const std::string& name);

    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    // The copied database file.
    const std::string& path() const { return path_; }

private:
    PrivateCopy(std::shared_ptr<PrivateFolder> folder, std::string path)
        : folder_(std::move(folder)), path_(std::move(path)) {}
    std::shared_ptr<PrivateFolder> folder_;
    std::string path_;
};

}  // namespace quillmark
