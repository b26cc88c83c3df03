#include "store/sqlite_database.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sqlite3.h>

#include "core/text.h"
#include "store/backup_file_system.h"
#include "store/private_copy.h"

namespace quillmark {

namespace {

constexpr int readOnlyFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;  // 0x8041

// Characters a URL path keeps as they are; everything else is percent-encoded, so that "?" and "#" in a
// file name reach SQLite as part of the name and not as the start of the query or fragment.
std::string percentEncodedPath(const std::string& path) { return text::percentEncoded(path, "-._~!$&'()*+,;=:@/"); }

// The connection's message, with a marker when the operating system refused the file, so that a refusal
// can be recognised even behind SQLite's generic "unable to open" code.
std::string messageWithPermission(sqlite3* db) {
    std::string message = sqlite3_errmsg(db);
    const int os = sqlite3_system_errno(db);
    if (os == EPERM || os == EACCES) message += " (operation not permitted)";
    return message;
}

bool containsCaseInsensitive(std::string haystack, const std::string& needle) {
    for (char& c : haystack)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return haystack.find(needle) != std::string::npos;
}

}  // namespace

std::string SQLiteDatabase::Failure::description() const {
    if (const auto* o = std::get_if<Open>(&value))
        return "can't open " + o->path + ": " + o->message + " (" + std::to_string(o->code) + ")";
    if (const auto* p = std::get_if<Prepare>(&value)) return "SQL: " + p->message;
    return "SQL step: " + std::get<Step>(value).message;
}

bool SQLiteDatabase::Failure::isPermission() const {
    const auto* o = asOpen();
    if (!o) return false;
    if (o->code == SQLITE_PERM || o->code == SQLITE_AUTH) return true;
    return containsCaseInsensitive(o->message, "authoriz") || containsCaseInsensitive(o->message, "not permitted");
}

SQLiteDatabase::Access SQLiteDatabase::accessFor(const std::string& path) {
    if (BackupFileSystem::served(path)) return Access::backup;
    unsigned char header[20] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return Access::inPlace;
    // Bytes 18 and 19 are the file-format write and read versions; 2 means write-ahead-log mode.
    if (std::memcmp(header, "SQLite format 3", 16) != 0 || (header[18] != 2 && header[19] != 2)) return Access::inPlace;
    std::error_code ec;
    return std::filesystem::exists(path + "-wal", ec) ? Access::privateCopy : Access::immutable;
}

SQLiteDatabase::Result<std::unique_ptr<SQLiteDatabase>> SQLiteDatabase::openReadOnly(const std::string& path) {
    const Access access = accessFor(path);
    if (access == Access::inPlace) return openURI(path, path, "");
    if (access == Access::backup) {
        auto served = BackupFileSystem::served(path);
        if (!served) return tl::unexpected(Failure::open(path, SQLITE_CANTOPEN, "the backup's file is no longer open"));
        // Without a log nothing can be missed; with one, exclusive locking keeps the log's index in memory.
        const bool log = BackupFileSystem::hasLog(*served);
        auto opened = openURI(path, path, std::string("vfs=") + BackupFileSystem::name + (log ? "" : "&immutable=1"), log);
        if (!opened) return opened;
        (*opened)->access_ = access;
        (*opened)->served_ = std::move(served);
        return opened;
    }
    if (access == Access::immutable) {
        auto opened = openURI(path, path, "immutable=1");
        if (opened) (*opened)->access_ = access;
        return opened;
    }
    auto copy = PrivateCopy::make(path);
    if (!copy) return tl::unexpected(Failure::open(path, SQLITE_CANTOPEN, copy.error().description()));
    std::shared_ptr<PrivateCopy> shared(std::move(*copy));
    auto opened = openURI(path, shared->path(), "");
    if (!opened) return opened;
    (*opened)->access_ = access;
    (*opened)->copy_ = std::move(shared);
    return opened;
}

SQLiteDatabase::Result<std::unique_ptr<SQLiteDatabase>> SQLiteDatabase::reopen() const {
    auto opened = openURI(path_, file_, extraParameters_, exclusive_);
    if (!opened) return opened;
    (*opened)->access_ = access_;
    (*opened)->copy_ = copy_;
    (*opened)->served_ = served_;
    return opened;
}

SQLiteDatabase::Result<std::unique_ptr<SQLiteDatabase>> SQLiteDatabase::openURI(const std::string& path,
                                                                                 const std::string& file,
                                                                                 const std::string& extraParameters,
                                                                                 bool exclusive) {
    std::string uri = "file:" + percentEncodedPath(file) + "?mode=ro";
    if (!extraParameters.empty()) uri += "&" + extraParameters;

    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(uri.c_str(), &handle, readOnlyFlags, nullptr);
    if (!handle) return tl::unexpected(Failure::open(path, rc, "unknown"));
    if (rc != SQLITE_OK) {
        std::string message = messageWithPermission(handle);
        sqlite3_close_v2(handle);
        return tl::unexpected(Failure::open(path, rc, std::move(message)));
    }
    sqlite3_busy_timeout(handle, 2000);
    if (exclusive) {
        // A log read without a "-shm" file: in exclusive locking mode SQLite keeps the log's index in the
        // connection's memory. Set before the first read. Nothing is written, so no checkpoint on closing.
        sqlite3_exec(handle, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    // No memory map: the history's queries read the message table in the order it lies in the file, each
    // page once, which copying pages out of the file does as fast; a map would also count every page it
    // touched in the process's memory, hundreds of megabytes for a large history.
    sqlite3_exec(handle, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
    // A damaged page is checked as it is read, so that a query meeting it fails instead of reading past it:
    // without the check, a leaf whose cells point into garbage can silently give a short result.
    sqlite3_exec(handle, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);

    // SQLite reads the file only now: a foreign file or a refused read shows here.
    sqlite3_stmt* probe = nullptr;
    int probeRC = sqlite3_prepare_v2(handle, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (probeRC == SQLITE_OK) {
        probeRC = sqlite3_step(probe);
        if (probeRC == SQLITE_ROW || probeRC == SQLITE_DONE) probeRC = SQLITE_OK;
    }
    if (probeRC != SQLITE_OK) {
        std::string message = messageWithPermission(handle);
        const int code = sqlite3_extended_errcode(handle);
        sqlite3_finalize(probe);
        sqlite3_close_v2(handle);
        return tl::unexpected(Failure::open(path, code, std::move(message)));
    }
    sqlite3_finalize(probe);
    std::unique_ptr<SQLiteDatabase> database(new SQLiteDatabase(handle, path));
    database->file_ = file;
    database->extraParameters_ = extraParameters;
    database->exclusive_ = exclusive;
    return database;
}

SQLiteDatabase::Result<std::unique_ptr<SQLiteDatabase>> SQLiteDatabase::openCreating(const std::string& path) {
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK || !handle) {
        if (handle) sqlite3_close_v2(handle);
        return tl::unexpected(Failure::open(path, rc, "create"));
    }
    return std::unique_ptr<SQLiteDatabase>(new SQLiteDatabase(handle, path));
}

SQLiteDatabase::~SQLiteDatabase() { sqlite3_close_v2(handle_); }

SQLiteDatabase::Result<std::set<std::string>> SQLiteDatabase::collect(const std::string& sql, int column) {
    auto statement = prepare(sql);
    if (!statement) return tl::unexpected(statement.error());
    std::set<std::string> names;
    sqlite3_stmt* stmt = (*statement)->stmt_;
    for (;;) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) return tl::unexpected(Failure::step(sqlite3_errmsg(handle_)));
        if (auto name = (*statement)->string(column)) names.insert(std::move(*name));
    }
    return names;
}

SQLiteDatabase::Result<std::set<std::string>> SQLiteDatabase::tables() {
    return collect("SELECT name FROM sqlite_master WHERE type='table'", 0);
}

SQLiteDatabase::Result<std::set<std::string>> SQLiteDatabase::columns(const std::string& table) {
    return collect("PRAGMA table_info(\"" + table + "\")", 1);
}

SQLiteDatabase::Result<std::unique_ptr<Statement>> SQLiteDatabase::prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(handle_, sql.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        // An empty or comment-only text compiles to no statement without an error; it is still unusable.
        std::string message = rc != SQLITE_OK ? sqlite3_errmsg(handle_) : "not an SQL statement";
        sqlite3_finalize(stmt);
        return tl::unexpected(Failure::prepare(message + " \u2014 " + sql));
    }
    return std::unique_ptr<Statement>(new Statement(stmt, handle_));
}

SQLiteDatabase::Result<int64_t> SQLiteDatabase::scalarInt(const std::string& sql) {
    auto statement = prepare(sql);
    if (!statement) return tl::unexpected(statement.error());
    auto row = (*statement)->step();
    if (!row) return tl::unexpected(row.error());
    return *row ? (*statement)->int64(0) : 0;
}

SQLiteDatabase::Result<void> SQLiteDatabase::execute(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return {};
    std::string text = message ? message : "?";
    sqlite3_free(message);
    return tl::unexpected(Failure::step(std::move(text)));
}

void SQLiteDatabase::interrupt() const { sqlite3_interrupt(handle_); }

int64_t SQLiteDatabase::lastInsertRowID() const { return sqlite3_last_insert_rowid(handle_); }

Statement::~Statement() { sqlite3_finalize(stmt_); }

SQLiteDatabase::Result<bool> Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    return tl::unexpected(SQLiteDatabase::Failure::step(sqlite3_errmsg(db_)));
}

std::optional<std::string> Statement::string(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    if (!text) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

int64_t Statement::int64(int column) const { return sqlite3_column_int64(stmt_, column); }

double Statement::real(int column) const { return sqlite3_column_double(stmt_, column); }

bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

bool Statement::isInteger(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER; }

std::optional<std::vector<uint8_t>> Statement::data(int column) const {
    if (isNull(column)) return std::nullopt;
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    if (!blob || size <= 0) return std::vector<uint8_t>{};
    return std::vector<uint8_t>(blob, blob + size);
}

void Statement::bind(int index, const BindValue& value) {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                sqlite3_bind_null(stmt_, index);
            } else if constexpr (std::is_same_v<T, int64_t>) {
                sqlite3_bind_int64(stmt_, index, v);
            } else if constexpr (std::is_same_v<T, bool>) {
                sqlite3_bind_int64(stmt_, index, v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, double>) {
                sqlite3_bind_double(stmt_, index, v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                sqlite3_bind_text(stmt_, index, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
            } else if constexpr (std::is_same_v<T, Bytes>) {
                if (v.data.empty())
                    sqlite3_bind_zeroblob(stmt_, index, 0);
                else
                    sqlite3_bind_blob(stmt_, index, v.data.data(), static_cast<int>(v.data.size()), SQLITE_TRANSIENT);
            }
        },
        value);
}

void Statement::bindAll(const std::vector<BindValue>& values) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    for (size_t i = 0; i < values.size(); ++i) bind(static_cast<int>(i + 1), values[i]);
}

SQLiteDatabase::Result<bool> Statement::run(const std::vector<BindValue>& values) {
    bindAll(values);
    return step();
}

}  // namespace quillmark
