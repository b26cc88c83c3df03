#include "sample_history/sql_writer.h"

#include <vector>

#include <sqlite3.h>

namespace quillmark::sample {

namespace {

std::string failure(sqlite3* db, const std::string& what) {
    return what + ": " + sqlite3_errmsg(db) + " (" + std::to_string(sqlite3_extended_errcode(db)) + ")";
}

}  // namespace

tl::expected<std::unique_ptr<SqlWriter>, std::string> SqlWriter::create(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) return tl::unexpected(path.string() + " already exists");
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        std::string message = "cannot create " + path.string() + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
        sqlite3_close(db);
        return tl::unexpected(message);
    }
    return std::unique_ptr<SqlWriter>(new SqlWriter(db));
}

SqlWriter::~SqlWriter() { sqlite3_close(db_); }

tl::expected<void, std::string> SqlWriter::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    return tl::unexpected(text + " — " + sql.substr(0, 200));
}

tl::expected<std::unique_ptr<SqlStatement>, std::string> SqlWriter::prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
        return tl::unexpected(failure(db_, "cannot prepare " + sql.substr(0, 200)));
    return std::unique_ptr<SqlStatement>(new SqlStatement(db_, statement));
}

tl::expected<void, std::string> SqlWriter::close() {
    if (!db_) return {};
    const int code = sqlite3_close(db_);
    if (code != SQLITE_OK) return tl::unexpected(failure(db_, "cannot close the database"));
    db_ = nullptr;
    return {};
}

SqlStatement::~SqlStatement() { sqlite3_finalize(statement_); }

void SqlStatement::bind(int index, int64_t value) { sqlite3_bind_int64(statement_, index, value); }

void SqlStatement::bind(int index, std::string_view text) {
    sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
}

void SqlStatement::bind(int index, std::span<const uint8_t> blob) {
    // An empty span may have no data pointer, which SQLite would store as NULL rather than an empty blob.
    static const uint8_t nothing = 0;
    sqlite3_bind_blob64(statement_, index, blob.empty() ? &nothing : blob.data(), blob.size(), SQLITE_STATIC);
}

void SqlStatement::bindNull(int index) { sqlite3_bind_null(statement_, index); }

tl::expected<void, std::string> SqlStatement::run() {
    int code;
    while ((code = sqlite3_step(statement_)) == SQLITE_ROW) {
    }
    std::string problem;
    if (code != SQLITE_DONE) problem = failure(db_, "cannot write " + std::string(sqlite3_sql(statement_)).substr(0, 80));
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    if (!problem.empty()) return tl::unexpected(problem);
    return {};
}

}  // namespace quillmark::sample
