// SQLiteDatabase and Statement: the thin, read-only wrapper through which every database is read.
//
// Opening goes through a "file:…?mode=ro" URI and is followed by a probe query, because SQLite reads the
// file only on first use: that is where a foreign file or a read the operating system refuses shows up.
// Every SQLite failure becomes a `SQLiteDatabase::Failure` value with a sentence, and `isPermission` tells a
// refusal by the operating system from a broken file.
//
// "mode=ro" alone is not read-only for a database in write-ahead-log mode: SQLite creates or rewrites its
// "-wal" and "-shm" files beside it, and on read-only media it cannot open it at all. So such a database is
// opened "immutable" when it has no log (nothing can be missed), and through a private copy of the database
// and its log when it has one (the log holds the newest changes). Not one byte beside the file changes.
// A path that BackupFileSystem serves (a database in an iPhone backup) is read through it instead.
//
//   auto db = SQLiteDatabase::openReadOnly("/home/me/Library/Messages/chat.db");
//   if (!db) return db.error().description();       // "can't open …: file is not a database (26)"
//   auto st = (*db)->prepare("SELECT ROWID, text FROM message");
//   while (st && *(*st)->step()) use((*st)->int64(0), (*st)->string(1));
//
// Connections are opened without SQLite's own mutex: a database and its statements are used by one thread
// at a time. A Statement must not outlive the database that prepared it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include <tl/expected.hpp>

#include "store/bind_value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quillmark {

class PrivateCopy;
class Statement;
namespace BackupFileSystem {
class Served;
}

class SQLiteDatabase {
public:
    // Failure: what went wrong, as one of three cases.
    struct Failure {
        // Opening the connection or the probe right after it failed.
        struct Open {
            std::string path;
            int32_t code = 0;
            std::string message;
            friend bool operator==(const Open&, const Open&) = default;
        };
        // Compiling a statement failed; the message ends with " — " and the SQL.
        struct Prepare {
            std::string message;
            friend bool operator==(const Prepare&, const Prepare&) = default;
        };
        // Stepping a statement, listing tables or columns, or executing a script failed.
        struct Step {
            std::string message;
            friend bool operator==(const Step&, const Step&) = default;
        };

        std::variant<Open, Prepare, Step> value;

        static Failure open(std::string path, int32_t code, std::string message) {
            return {Open{std::move(path), code, std::move(message)}};
        }
        static Failure prepare(std::string message) { return {Prepare{std::move(message)}}; }
        static Failure step(std::string message) { return {Step{std::move(message)}}; }

        // "can't open <path>: <message> (<code>)", "SQL: <message>" or "SQL step: <message>".
        std::string description() const;

        // True only for an open failure that the operating system's refusal caused: codes 3 (SQLITE_PERM)
        // and 23 (SQLITE_AUTH), or a message mentioning "authoriz" or "not permitted".
        bool isPermission() const;

        const Open* asOpen() const { return std::get_if<Open>(&value); }

        friend bool operator==(const Failure&, const Failure&) = default;
    };

    template <typename T>
    using Result = tl::expected<T, Failure>;

    // How a database file is read, decided by its header and the files beside it.
    enum class Access {
        inPlace,      // a rollback-journal database: "mode=ro" reads it and writes nothing
        immutable,    // write-ahead-log mode without a log: read as it is, nothing beside it touched
        privateCopy,  // write-ahead-log mode with a log: the database and its log read from a private copy
        backup,       // served by BackupFileSystem: decrypted as it is read, a log read into memory
    };
    static Access accessFor(const std::string& path);

    // Opens the path read-only (see above), sets a 2 s busy timeout and probes the file. `path()` stays the
    // path asked for, also when a private copy is read.
    [[nodiscard]] static Result<std::unique_ptr<SQLiteDatabase>> openReadOnly(const std::string& path);

    // reopen: a second, independent connection to what this one reads (the same copy, when one was made), for
    // work that runs beside the first on another thread.
    [[nodiscard]] Result<std::unique_ptr<SQLiteDatabase>> reopen() const;

    // Opens (creating if needed) a database for writing. Only tools that make test histories use it.
    [[nodiscard]] static Result<std::unique_ptr<SQLiteDatabase>> openCreating(const std::string& path);

    ~SQLiteDatabase();
    SQLiteDatabase(const SQLiteDatabase&) = delete;
    SQLiteDatabase& operator=(const SQLiteDatabase&) = delete;

    // Names of all tables.
    [[nodiscard]] Result<std::set<std::string>> tables();
    // Names of the columns of a table (empty when it does not exist).
    [[nodiscard]] Result<std::set<std::string>> columns(const std::string& table);
    [[nodiscard]] Result<std::unique_ptr<Statement>> prepare(const std::string& sql);
    // Column 0 of the first row as an integer; 0 when there is no row.
    [[nodiscard]] Result<int64_t> scalarInt(const std::string& sql);
    // Runs a script of statements.
    [[nodiscard]] Result<void> execute(const std::string& sql);
    int64_t lastInsertRowID() const;
    const std::string& path() const { return path_; }
    Access access() const { return access_; }
    // interrupt: makes the statement running on this connection stop soon with an error. The one call that
    // may come from another thread.
    void interrupt() const;

private:
    SQLiteDatabase(sqlite3* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    // Opens `file` through a read-only URI with the extra parameters, in exclusive locking mode when asked;
    // the failure names `path`.
    [[nodiscard]] static Result<std::unique_ptr<SQLiteDatabase>> openURI(const std::string& path,
                                                                       const std::string& file,
                                                                       const std::string& extraParameters,
                                                                       bool exclusive = false);
    [[nodiscard]] Result<std::set<std::string>> collect(const std::string& sql, int column);

    sqlite3* handle_;
    std::string path_;
    // What the connection was opened on, so that reopen opens the same.
    std::string file_;
    std::string extraParameters_;
    bool exclusive_ = false;
    Access access_ = Access::inPlace;
    // Declared last: the copy goes away only after the connection closed. Shared with reopened connections.
    std::shared_ptr<PrivateCopy> copy_;
    // What BackupFileSystem serves to this connection, kept served while it is open.
    std::shared_ptr<const BackupFileSystem::Served> served_;
};

class Statement {
public:
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // true for a row, false when done.
    [[nodiscard]] SQLiteDatabase::Result<bool> step();

    // Column readers; the index is 0-based. NULL reads as absent text or bytes, as 0 for numbers.
    std::optional<std::string> string(int column) const;
    int64_t int64(int column) const;
    double real(int column) const;
    bool isNull(int column) const;
    // True when the value is stored as an integer (not NULL, real, text or blob).
    bool isInteger(int column) const;
    // Absent for NULL; present and empty for a zero-length blob.
    std::optional<std::vector<uint8_t>> data(int column) const;

    // Binds one value; the index is 1-based.
    void bind(int index, const BindValue& value);
    // Resets the statement, clears every binding, then binds element i to parameter i + 1.
    void bindAll(const std::vector<BindValue>& values);
    // bindAll, then step.
    [[nodiscard]] SQLiteDatabase::Result<bool> run(const std::vector<BindValue>& values);

    // Steps through the remaining rows, calling `row` while each is current; stops at the first failure.
    template <typename F>
    [[nodiscard]] SQLiteDatabase::Result<void> forEachRow(F&& row) {
        for (;;) {
            auto more = step();
            if (!more) return tl::unexpected(more.error());
            if (!*more) return {};
            row();
        }
    }

private:
    friend class SQLiteDatabase;
    Statement(sqlite3_stmt* stmt, sqlite3* db) : stmt_(stmt), db_(db) {}

    sqlite3_stmt* stmt_;
    sqlite3* db_;  // borrowed, for error messages
};

}  // namespace quillmark
