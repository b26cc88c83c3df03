// SqlWriter: the small writing side of SQLite the sample generator needs, and nothing else in the
// project may use: the engine only ever reads.
//
//   auto db = SqlWriter::create(path);                  // a new file; fails when it exists
//   db->exec("CREATE TABLE t (a, b)");
//   auto insert = db->prepare("INSERT INTO t VALUES (?, ?)");
//   insert->bind(1, int64_t{7}); insert->bind(2, std::string_view("seven")); insert->run();
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

struct sqlite3;
struct sqlite3_stmt;

namespace quillmark::sample {

class SqlStatement;

class SqlWriter {
public:
    // create: a new, empty database file; fails when the file already exists.
    [[nodiscard]] static tl::expected<std::unique_ptr<SqlWriter>, std::string> create(const std::filesystem::path& path);
    ~SqlWriter();
    SqlWriter(const SqlWriter&) = delete;
    SqlWriter& operator=(const SqlWriter&) = delete;

    [[nodiscard]] tl::expected<void, std::string> exec(const std::string& sql);
    [[nodiscard]] tl::expected<std::unique_ptr<SqlStatement>, std::string> prepare(const std::string& sql);
    // Closes the connection; reports a failure to finish writing.
    [[nodiscard]] tl::expected<void, std::string> close();

private:
    explicit SqlWriter(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

// One prepared statement, bound and run again and again. Binding keeps no copy: the values must live until
// `run` returns.
class SqlStatement {
public:
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    void bind(int index, int64_t value);
    void bind(int index, std::string_view text);
    void bind(int index, std::span<const uint8_t> blob);
    void bindNull(int index);
    void bind(int index, const std::optional<std::string>& text) {
        text ? bind(index, std::string_view(*text)) : bindNull(index);
    }
    void bind(int index, const std::optional<std::vector<uint8_t>>& blob) {
        blob ? bind(index, std::span<const uint8_t>(*blob)) : bindNull(index);
    }

    // Steps to the end, then resets the statement and clears its bindings for the next use.
    [[nodiscard]] tl::expected<void, std::string> run();

private:
    friend class SqlWriter;
    SqlStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    sqlite3* db_;
    sqlite3_stmt* statement_;
};

}  // namespace quillmark::sample
