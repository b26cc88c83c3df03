#include "support/history_fixture.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <sqlite3.h>
#include <sys/stat.h>

#include "core/sha256.h"
#include "service/history.h"
#include "support/test_history.h"

namespace quillmark::testing {

namespace {

const char* const people = R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage'), (2, 'ben@example.com', 'iMessage');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name, display_name) VALUES
  (10, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage', NULL),
  (12, 'iMessage;+;chat-trip', 43, 'chat-trip', 'iMessage', 'Trip');
INSERT INTO chat_handle_join VALUES (10, 1), (12, 1), (12, 2);
)sql";

size_t byte(const std::string& file, size_t at) { return uint8_t(file[at]); }
size_t bigEndian(const std::string& file, size_t at, size_t bytes) {
    size_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value = value << 8 | byte(file, at + i);
    return value;
}

// The file's page size, and the offsets of the leaf pages below the table's root page (an interior page).
std::vector<size_t> leafOffsets(const std::filesystem::path& database, const std::string& file,
                                const std::string& table, size_t& pageSize) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("SELECT rootpage FROM sqlite_master WHERE name='" + table + "'").c_str(), -1, &st, nullptr);
    const size_t root = sqlite3_step(st) == SQLITE_ROW ? size_t(sqlite3_column_int(st, 0)) : 0;
    sqlite3_finalize(st);
    sqlite3_close(db);
    pageSize = bigEndian(file, 16, 2);
    const size_t start = (root - 1) * pageSize;
    if (root == 0 || file.size() < start + pageSize || byte(file, start) != 0x05) return {};
    std::vector<size_t> leaves;
    for (size_t i = 0, cells = bigEndian(file, start + 3, 2); i < cells; ++i)
        leaves.push_back((bigEndian(file, start + bigEndian(file, start + 12 + 2 * i, 2), 4) - 1) * pageSize);
    leaves.push_back((bigEndian(file, start + 8, 4) - 1) * pageSize);  // the right-most child
    return leaves;
}

}  // namespace

HistoryFixture::HistoryFixture(const std::string& extra, bool chatRows, int pageSize) : data_(temp_ / "data") {
    std::filesystem::create_directories(data_ / "Messages" / "Attachments");
    const std::string pages = pageSize ? "PRAGMA page_size=" + std::to_string(pageSize) + ";" : "";
    makeDatabase(database(), pages + fullSchema + (chatRows ? people : "") + extra);
}

std::unique_ptr<History> HistoryFixture::open() const {
    auto history = History::open(HistoryLocation::find(data_.string(), {"/nonexistent/AddressBook.abcddb"}));
    if (!history) {
        std::fprintf(stderr, "the test history does not open: %s\n", history.error().description().c_str());
        std::abort();
    }
    return std::move(*history);
}

std::string HistoryFixture::message(int64_t id, int64_t chat, const std::string& text, int64_t handle, int64_t date) {
    const std::string raw = std::to_string(date ? date : 700000000000000000 + id * 1000000000);
    return "INSERT INTO message (ROWID, guid, text, handle_id, is_from_me, date, service) VALUES (" +
           std::to_string(id) + ", 'M-" + std::to_string(id) + "', '" + text + "', " + std::to_string(handle) + ", " +
           (handle == 0 ? "1" : "0") + ", " + raw + ", 'iMessage');\n" +
           "INSERT INTO chat_message_join (chat_id, message_id) VALUES (" + std::to_string(chat) + ", " +
           std::to_string(id) + ");\n";
}

std::string HistoryFixture::manyMessages() {
    return R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
INSERT INTO message (ROWID, guid, text, handle_id, date, service)
  SELECT i, 'M-' || i, 'message ' || i, 1, 700000000000000000 + i * 1000000000, 'iMessage' FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
INSERT INTO chat_message_join (chat_id, message_id) SELECT CASE WHEN i % 3 = 0 THEN 12 ELSE 10 END, i FROM n;
)sql";
}

bool HistoryFixture::copyLeafPage(const std::string& table, size_t from, size_t onto) const {
    std::string file = readFile(database());
    size_t pageSize = 0;
    const auto leaves = leafOffsets(database(), file, table, pageSize);
    if (leaves.size() <= std::max(from, onto)) return false;
    file.replace(leaves[onto], pageSize, file, leaves[from], pageSize);
    std::ofstream(database(), std::ios::binary | std::ios::trunc) << file;
    return true;
}

bool HistoryFixture::scribbleOverLeaf(const std::string& table, size_t leaf) const {
    std::string file = readFile(database());
    size_t pageSize = 0;
    const auto leaves = leafOffsets(database(), file, table, pageSize);
    if (leaves.size() <= leaf) return false;
    file.replace(leaves[leaf] + 8, pageSize - 8, pageSize - 8, '\xA5');
    std::ofstream(database(), std::ios::binary | std::ios::trunc) << file;
    return true;
}

std::map<std::string, std::string> folderState(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat s {};
        ::lstat(entry.path().c_str(), &s);
        files[entry.path().string()] = std::to_string(s.st_size) + " " + std::to_string(s.st_mtim.tv_sec) + "." +
                                       std::to_string(s.st_mtim.tv_nsec) + " " +
                                       SHA256::ofPath(entry.path().string()).value_or("-");
    }
    return files;
}

std::string pdfFirstPageText(const std::filesystem::path& pdf) {
    std::string text;
    if (FILE* pipe = ::popen(("pdftotext -l 1 '" + pdf.string() + "' - 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

}  // namespace quillmark::testing
