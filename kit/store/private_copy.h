// PrivateCopy: a copy of a database with its write-ahead log and shared-memory files, in a private
// temporary folder that is removed with the object.
//
// A history on read-only media (a write-protected disk, an evidence copy) whose log holds the newest
// messages cannot be opened in place without its shared-memory file; reading a copy gets everything and
// still writes nothing beside the original.
#pragma once

#include <memory>
#include <string>

#include <tl/expected.hpp>

namespace quillmark {

class PrivateCopy {
public:
    // Copies `path`, `path-wal` and `path-shm` (those that exist) into a new private folder. Fails with a
    // sentence when the folder cannot be made or a file cannot be copied; nothing is left behind then.
    [[nodiscard]] static tl::expected<std::unique_ptr<PrivateCopy>, std::string> make(const std::string& path);

    ~PrivateCopy();
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    // The copied database file.
    const std::string& path() const { return path_; }

private:
    PrivateCopy(std::string folder, std::string path) : folder_(std::move(folder)), path_(std::move(path)) {}
    std::string folder_;
    std::string path_;
};

}  // namespace quillmark
