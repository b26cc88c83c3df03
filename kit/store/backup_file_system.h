// BackupFileSystem: an SQLite file system ("vfs") that reads a database of an iPhone backup, and its log,
// straight from the backup's files, decrypting each page as SQLite reads it.
//
// A decrypted copy of a history costs as much time writing and reading back as the history is large, and
// it would lie on disk for as long as the history is open. Here the plain bytes exist only in SQLite's page
// cache: a served file answers reads by decrypting the blocks that hold them (see BackupCipher::Decryptor)
// and refuses every write. A database without a log is opened "immutable"; one with a log is read in
// exclusive locking mode, so that SQLite keeps the log's index in its own memory instead of a "-shm" file.
// Nothing is created, changed or deleted beside a served file.
//
// Files are served under the path of their encrypted file in the backup (a path that exists, so that the
// callers' checks of it hold), for as long as the returned handle lives; SQLiteDatabase::openReadOnly reads
// a served path through this file system and keeps the handle with the connection. Any other file SQLite
// asks for (temporary files) goes to the default file system.
//
//   auto served = BackupFileSystem::serve(backup / "3d/3d0d7e5f…", {std::move(file), key, size}, std::nullopt);
//   auto db = SQLiteDatabase::openReadOnly(backup / "3d/3d0d7e5f…");    // read through the served file
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "core/failure.h"
#include "core/readable_file.h"

namespace quillmark::BackupFileSystem {

using Failure = SentenceFailure;

// The name SQLite knows the file system by.
inline constexpr const char* name = "quillmark-backup";

// A file of the backup as it is served: with a key, its bytes are AES-256-CBC-encrypted and `size` is its
// true length (from its properties; nothing: found from the padding); without one, it is read as it is.
struct Source {
    ReadableFile file;
    std::optional<std::vector<uint8_t>> key;
    std::optional<uint64_t> size;
};

// What is served under one path: the database and, when it has one, its log (path + "-wal").
class Served;

// serve: makes the database (and its log) readable under `path` while the handle lives. Fails with a
// sentence when an encrypted file is not whole blocks, is shorter than its listed size or ends in a wrong
// padding, or its key has the wrong length.
[[nodiscard]] tl::expected<std::shared_ptr<const Served>, Failure> serve(const std::string& path, Source database,
                                                                       std::optional<Source> log);

// served: what is served under `path`; nothing when it is not served.
std::shared_ptr<const Served> served(const std::string& path);

// hasLog: whether the database is served with a log.
bool hasLog(const Served& served);

}  // namespace quillmark::BackupFileSystem
