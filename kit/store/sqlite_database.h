// SQLiteDatabase and Statement: the thin, read-only wrapper through which every database is read.
//
// Opening goes through a "file:…?mode=ro" URI, so nothing is ever created or changed, and is followed by
// a probe query, because SQLite reads the file only on first use: that is where a foreign file or a read
// the operating system refuses shows up. Every SQLite failure becomes a `SQLiteDatabase::Failure` value
// with a sentence, and `isPermission` tells a refusal by the operating system from a broken file.
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

class Statement;

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

    // Opens the path read-only through a URI, sets a 2 s busy timeout and probes the file.
    [[nodiscard]] static Result<std::unique_ptr<SQLiteDatabase>> openReadOnly(const std::string& path);

    // Opens the path read-only with extra URI parameters (such as "immutable=1"), otherwise like openReadOnly.
    [[nodiscard]] static Result<std::unique_ptr<SQLiteDatabase>> openReadOnly(const std::string& path,
                                                                              const std::string& extraParameters);

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

    // Another read-only connection to the same file, opened the same way, for work on a second thread.
    [[nodiscard]] Result<std::unique_ptr<SQLiteDatabase>> openAgain() const;

private:
    SQLiteDatabase(sqlite3* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    [[nodiscard]] Result<std::set<std::string>> collect(const std::string& sql, int column);

    sqlite3* handle_;
    std::string path_;
    std::optional<std::string> readOnlyParameters_;  // set for a read-only connection
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
