#include "store/backup_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <span>
#include <utility>

#include <unistd.h>

#include <sqlite3.h>

#include "store/backup_cipher.h"

namespace quillmark::BackupFileSystem {

namespace {

constexpr uint64_t blockSize = 16;

// One file as it is served: the descriptor of its bytes in the backup, its key and its true length.
struct ServedFile {
    ReadableFile file;
    std::optional<std::vector<uint8_t>> key;
    uint64_t size = 0;
};

}  // namespace

class Served {
public:
    Served(std::string path, ServedFile database, std::optional<ServedFile> log)
        : path_(std::move(path)), database_(std::move(database)), log_(std::move(log)) {}
    ~Served();
    Served(const Served&) = delete;
    Served& operator=(const Served&) = delete;

    const std::string& path() const { return path_; }
    const ServedFile& database() const { return database_; }
    const std::optional<ServedFile>& log() const { return log_; }

private:
    std::string path_;
    ServedFile database_;
    std::optional<ServedFile> log_;
};

namespace {

// The served paths. Two handles may serve one path (the same backup opened twice); either serves the same
// bytes, and the path stays served while one of them lives.
struct Registry {
    std::mutex lock;
    std::multimap<std::string, std::pair<const Served*, std::weak_ptr<const Served>>> served;
};

Registry& registry() {
    // Never destroyed: a connection closed during the program's exit may still ask for it.
    static auto* theRegistry = new Registry();
    return *theRegistry;
}

tl::expected<ServedFile, Failure> prepare(Source source) {
    using Unexpected = tl::unexpected<Failure>;
    const auto total = static_cast<uint64_t>(std::max<int64_t>(source.file.size(), 0));
    if (!source.key) return ServedFile{std::move(source.file), std::nullopt, total};
    auto decryptor = BackupCipher::Decryptor::make(*source.key);
    if (!decryptor) return Unexpected(Failure{"the file's key has the wrong length"});
    if (total % blockSize != 0) return Unexpected(Failure{"the encrypted file's length is not a whole number of blocks"});
    uint64_t size = 0;
    if (source.size) {
        if (*source.size > total) return Unexpected(Failure{"the encrypted file is shorter than the size it is listed with"});
        size = *source.size;
    } else {
        auto found = decryptor->plainSize(source.file.descriptor(), total);
        if (!found) return Unexpected(found.error());
        size = *found;
    }
    return ServedFile{std::move(source.file), std::move(source.key), size};
}

// What a name SQLite asks for stands for.
struct Lookup {
    bool ours = false;                     // a served database or a file beside one
    std::shared_ptr<const Served> served;  // holds `file`
    const ServedFile* file = nullptr;      // the served file; nothing for a journal or "-shm" beside a database
};

Lookup lookup(const char* name) {
    if (!name) return {};
    const std::string path(name);
    if (auto found = served(path)) return {true, found, &found->database()};
    for (const std::string suffix : {"-wal", "-journal", "-shm"}) {
        if (path.size() <= suffix.size() || path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        auto found = served(path.substr(0, path.size() - suffix.size()));
        if (!found) continue;
        if (suffix == "-wal" && found->log()) return {true, found, &*found->log()};
        return {true, nullptr, nullptr};
    }
    return {};
}

// An open served file. SQLite hands over memory of szOsFile bytes; the object is made in it by xOpen and
// destroyed by xClose.
struct OpenFile {
    sqlite3_file base;
    std::shared_ptr<const Served> served;
    const ServedFile* file;
    std::optional<BackupCipher::Decryptor> decryptor;
};

OpenFile& opened(sqlite3_file* file) { return *std::launder(reinterpret_cast<OpenFile*>(file)); }

sqlite3_vfs* parent(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

bool readPlain(int fd, uint64_t offset, uint8_t* out, size_t n) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, out, n, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        out += r;
        offset += static_cast<uint64_t>(r);
        n -= static_cast<size_t>(r);
    }
    return true;
}

int fileClose(sqlite3_file* file) {
    opened(file).~OpenFile();
    file->pMethods = nullptr;
    return SQLITE_OK;
}

int fileRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    OpenFile& self = opened(file);
    if (amount < 0 || offset < 0) return SQLITE_IOERR_READ;
    auto* out = static_cast<uint8_t*>(buffer);
    const auto at = static_cast<uint64_t>(offset);
    const uint64_t size = self.file->size;
    const auto available = static_cast<size_t>(at >= size ? 0 : std::min<uint64_t>(static_cast<uint64_t>(amount), size - at));
    if (available > 0) {
        try {
            const int fd = self.file->file.descriptor();
            const bool done = self.decryptor ? self.decryptor->read(fd, at, std::span(out, available)).has_value()
                                             : readPlain(fd, at, out, available);
            if (!done) return SQLITE_IOERR_READ;
        } catch (const std::bad_alloc&) {
            return SQLITE_IOERR_NOMEM;
        }
    }
    if (available < static_cast<size_t>(amount)) {
        // SQLite's contract for a read past the end: the rest zeroed, and told so.
        std::memset(out + available, 0, static_cast<size_t>(amount) - available);
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int fileWrite(sqlite3_file*, const void*, int, sqlite3_int64) { return SQLITE_READONLY; }
int fileTruncate(sqlite3_file*, sqlite3_int64) { return SQLITE_READONLY; }
int fileSync(sqlite3_file*, int) { return SQLITE_READONLY; }

int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    *size = static_cast<sqlite3_int64>(opened(file).file->size);
    return SQLITE_OK;
}

// Locks are not needed: nothing writes a served file, and a log's index lives in one connection's memory.
int fileLock(sqlite3_file*, int) { return SQLITE_OK; }
int fileCheckReservedLock(sqlite3_file*, int* reserved) {
    *reserved = 0;
    return SQLITE_OK;
}
int fileControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int fileSectorSize(sqlite3_file*) { return 4096; }
int fileDeviceCharacteristics(sqlite3_file*) { return 0; }

// Version 1: no shared memory, so a log is read only in exclusive locking mode (with its index in memory).
const sqlite3_io_methods fileMethods = {
    1,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileLock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

int systemOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    file->pMethods = nullptr;
    Lookup found = lookup(name);
    if (!found.ours) return parent(vfs)->xOpen(parent(vfs), name, file, flags, outFlags);
    if (!found.file) return SQLITE_CANTOPEN;  // no journal or "-shm" is made beside a served database
    std::optional<BackupCipher::Decryptor> decryptor;
    if (found.file->key) {
        decryptor = BackupCipher::Decryptor::make(*found.file->key);
        if (!decryptor) return SQLITE_CANTOPEN;
    }
    new (file) OpenFile{sqlite3_file{&fileMethods}, std::move(found.served), found.file, std::move(decryptor)};
    if (outFlags) *outFlags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int systemDelete(sqlite3_vfs* vfs, const char* name, int syncFolder) {
    if (lookup(name).ours) return SQLITE_IOERR_DELETE;
    return parent(vfs)->xDelete(parent(vfs), name, syncFolder);
}

int systemAccess(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
    const Lookup found = lookup(name);
    if (!found.ours) return parent(vfs)->xAccess(parent(vfs), name, flags, result);
    *result = found.file && flags != SQLITE_ACCESS_READWRITE ? 1 : 0;
    return SQLITE_OK;
}

int systemFullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    // A served path is absolute already and is looked up as it is.
    if (!lookup(name).ours) return parent(vfs)->xFullPathname(parent(vfs), name, size, out);
    const size_t length = std::strlen(name);
    if (size < 0 || length >= static_cast<size_t>(size)) return SQLITE_CANTOPEN;
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

void* systemDlOpen(sqlite3_vfs* vfs, const char* name) { return parent(vfs)->xDlOpen(parent(vfs), name); }
void systemDlError(sqlite3_vfs* vfs, int size, char* out) { parent(vfs)->xDlError(parent(vfs), size, out); }
void (*systemDlSym(sqlite3_vfs* vfs, void* library, const char* symbol))(void) {
    return parent(vfs)->xDlSym(parent(vfs), library, symbol);
}
void systemDlClose(sqlite3_vfs* vfs, void* library) { parent(vfs)->xDlClose(parent(vfs), library); }
int systemRandomness(sqlite3_vfs* vfs, int size, char* out) { return parent(vfs)->xRandomness(parent(vfs), size, out); }
int systemSleep(sqlite3_vfs* vfs, int microseconds) { return parent(vfs)->xSleep(parent(vfs), microseconds); }
int systemCurrentTime(sqlite3_vfs* vfs, double* now) { return parent(vfs)->xCurrentTime(parent(vfs), now); }
int systemGetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return parent(vfs)->xGetLastError(parent(vfs), size, out);
}
int systemCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
    sqlite3_vfs* base = parent(vfs);
    if (base->iVersion >= 2 && base->xCurrentTimeInt64) return base->xCurrentTimeInt64(base, now);
    double days = 0;
    const int rc = base->xCurrentTime(base, &days);
    *now = static_cast<sqlite3_int64>(days * 86400000.0);
    return rc;
}

// Registers the file system once, for every thread; false when SQLite has no default one to build on.
bool registered() {
    static const bool done = [] {
        static sqlite3_vfs system{};
        sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
        if (!base) return false;
        system.iVersion = 2;
        // Other files SQLite opens through this file system are the default one's, in the same memory.
        system.szOsFile = std::max(static_cast<int>(sizeof(OpenFile)), base->szOsFile);
        system.mxPathname = base->mxPathname;
        system.zName = name;
        system.pAppData = base;
        system.xOpen = systemOpen;
        system.xDelete = systemDelete;
        system.xAccess = systemAccess;
        system.xFullPathname = systemFullPathname;
        system.xDlOpen = systemDlOpen;
        system.xDlError = systemDlError;
        system.xDlSym = systemDlSym;
        system.xDlClose = systemDlClose;
        system.xRandomness = systemRandomness;
        system.xSleep = systemSleep;
        system.xCurrentTime = systemCurrentTime;
        system.xGetLastError = systemGetLastError;
        system.xCurrentTimeInt64 = systemCurrentTimeInt64;
        return sqlite3_vfs_register(&system, 0) == SQLITE_OK;
    }();
    return done;
}

}  // namespace

Served::~Served() {
    Registry& all = registry();
    std::lock_guard guard(all.lock);
    auto [from, to] = all.served.equal_range(path_);
    for (auto it = from; it != to; ++it) {
        if (it->second.first == this) {
            all.served.erase(it);
            break;
        }
    }
}

tl::expected<std::shared_ptr<const Served>, Failure> serve(const std::string& path, Source database,
                                                           std::optional<Source> log) {
    if (!registered()) return tl::unexpected(Failure{"SQLite can't read files of a backup"});
    auto main = prepare(std::move(database));
    if (!main) return tl::unexpected(main.error());
    std::optional<ServedFile> beside;
    if (log) {
        auto prepared = prepare(std::move(*log));
        if (!prepared) return tl::unexpected(Failure{"its log: " + prepared.error().sentence});
        beside = std::move(*prepared);
    }
    auto served = std::make_shared<const Served>(path, std::move(*main), std::move(beside));
    Registry& all = registry();
    std::lock_guard guard(all.lock);
    all.served.emplace(path, std::pair{served.get(), std::weak_ptr<const Served>(served)});
    return served;
}

std::shared_ptr<const Served> served(const std::string& path) {
    Registry& all = registry();
    std::lock_guard guard(all.lock);
    auto [from, to] = all.served.equal_range(path);
    for (auto it = from; it != to; ++it)
        if (auto live = it->second.second.lock()) return live;
    return nullptr;
}

bool hasLog(const Served& served) { return served.log().has_value(); }

}  // namespace quillmark::BackupFileSystem
