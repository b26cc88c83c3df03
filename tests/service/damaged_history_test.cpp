// A damaged history is never exported as if it were whole, and damaged bodies never become the text.
#include "service/export_service.h"

#include <fstream>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "body/attributed_body.h"
#include "body/attributed_body_writer.h"
#include "core/text.h"
#include "service/verification.h"
#include "support/history_fixture.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;

constexpr int pageSize = 1024;

// 600 messages over the two chats, on small pages, so that chat_message_join spans many leaf pages.
std::string manyMessages() {
    return R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
INSERT INTO message (ROWID, guid, text, handle_id, date, service)
  SELECT i, 'M-' || i, 'message ' || i, 1, 700000000000000000 + i * 1000000000, 'iMessage' FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
INSERT INTO chat_message_join (chat_id, message_id) SELECT CASE WHEN i % 3 = 0 THEN 12 ELSE 10 END, i FROM n;
)sql";
}

uint32_t bigEndian(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

// The leaf pages below an interior table page, in order.
std::vector<uint32_t> children(const std::string& file, uint32_t page) {
    const size_t start = size_t(page - 1) * pageSize;
    if (uint8_t(file[start]) != 0x05) return {};
    const size_t cells = size_t(uint8_t(file[start + 3])) << 8 | uint8_t(file[start + 4]);
    std::vector<uint32_t> out;
    for (size_t i = 0; i < cells; ++i) {
        const size_t offset = size_t(uint8_t(file[start + 12 + 2 * i])) << 8 | uint8_t(file[start + 13 + 2 * i]);
        out.push_back(bigEndian(file, start + offset));
    }
    out.push_back(bigEndian(file, start + 8));
    return out;
}

class DamagedHistory : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove(fixture.database());
        testing::makeDatabase(fixture.database(), "PRAGMA page_size=" + std::to_string(pageSize) + ";" +
                                                      testing::fullSchema + people + manyMessages());
    }

    // The root page of a table, from the schema.
    uint32_t rootPage(const std::string& table) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(fixture.database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, ("SELECT rootpage FROM sqlite_master WHERE name='" + table + "'").c_str(), -1, &st,
                           nullptr);
        const uint32_t root = sqlite3_step(st) == SQLITE_ROW ? uint32_t(sqlite3_column_int(st, 0)) : 0;
        sqlite3_finalize(st);
        sqlite3_close(db);
        return root;
    }

    // Writes leaf `from` of the table over leaf `onto`, as a bad copy or a failing disk does: every page
    // still reads as a page of the table, only the rows are wrong.
    void copyLeafPage(const std::string& table, size_t from, size_t onto) {
        std::string file = testing::readFile(fixture.database());
        const auto leaves = children(file, rootPage(table));
        ASSERT_GT(leaves.size(), std::max(from, onto));
        file.replace(size_t(leaves[onto] - 1) * pageSize, pageSize, file, size_t(leaves[from] - 1) * pageSize, pageSize);
        std::ofstream(fixture.database(), std::ios::binary | std::ios::trunc) << file;
    }

    // Fills a leaf of the table after its header with garbage: SQLite finds it while reading.
    void scribbleOverLeaf(const std::string& table, size_t leaf) {
        std::string file = testing::readFile(fixture.database());
        const auto leaves = children(file, rootPage(table));
        ASSERT_GT(leaves.size(), leaf);
        file.replace(size_t(leaves[leaf] - 1) * pageSize + 8, pageSize - 8, pageSize - 8, '\xA5');
        std::ofstream(fixture.database(), std::ios::binary | std::ios::trunc) << file;
    }

    static constexpr const char* people = R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name) VALUES
  (10, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage'), (12, 'iMessage;+;trip', 43, 'trip', 'iMessage');
INSERT INTO chat_handle_join VALUES (10, 1), (12, 1);
)sql";

    HistoryFixture fixture{"", false};
};

TEST_F(DamagedHistory, DamageSQLiteReadsPastFailsExportAndVerifyButNotListing) {
    copyLeafPage("chat_message_join", 2, 1);
    auto history = fixture.open();
    ASSERT_FALSE(history->library().conversations().empty());  // listing does not wait for the check

    ExportService::Request request;
    request.conversations = history->library().conversations();
    request.format = ExportFormat::csv;
    request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "", Date{1700000000});
    request.folder = fixture.temp() / "out";
    const auto exported = ExportService::run(*history, request);
    ASSERT_FALSE(exported);
    EXPECT_EQ(exported.error().kind, ExportService::Failure::Kind::damaged);
    EXPECT_EQ(exported.error().text.rfind("The history is damaged: SQLite's integrity check found \u201c", 0), 0u)
        << exported.error().text;
    EXPECT_NE(exported.error().text.find("\u201d. Quillmark exports only from an undamaged history; copy it again "
                                         "from where it came from."),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(fixture.temp() / "out"));

    const auto verified = Verification::run(*history, (fixture.temp() / "none.pdf").string());
    ASSERT_FALSE(verified);
    EXPECT_EQ(verified.error().description(), exported.error().text);
}

TEST_F(DamagedHistory, AnErrorWhileSteppingFailsTheLoadInsteadOfShorteningIt) {
    scribbleOverLeaf("message", 3);
    // The conversation list reads every message, so opening meets the damage first.
    auto history = History::open(HistoryLocation::find(fixture.data().string(), {}));
    ASSERT_FALSE(history) << (*history)->library().conversations().size() << " conversations from a damaged table";
    EXPECT_EQ(history.error().kind, History::Failure::Kind::failed);
    EXPECT_EQ(history.error().description(), "SQL step: database disk image is malformed");
}

TEST(DamagedBody, AnObjectThatIsNoStringNeverBecomesTheText) {
    std::vector<uint8_t> body = AttributedBodyWriter::archive("archived text");
    const std::string damaged = "NSStriXg";
    std::string bytes(body.begin(), body.end());
    for (size_t at; (at = bytes.find("NSString")) != std::string::npos;) bytes.replace(at, damaged.size(), damaged);
    EXPECT_FALSE(AttributedBody::decode(std::vector<uint8_t>(bytes.begin(), bytes.end())));

    HistoryFixture fixture(
        "INSERT INTO message (ROWID, guid, text, attributedBody, handle_id, date, service) VALUES (1, 'M-1', "
        "'the stored text', X'" + text::lowercaseHex(bytes) + "', 1, 700000000000000000, 'iMessage');\n"
        "INSERT INTO chat_message_join (chat_id, message_id) VALUES (10, 1);");
    auto history = fixture.open();
    auto thread = history->library().thread(history->library().conversations().front(), {});
    ASSERT_TRUE(thread);
    ASSERT_EQ(thread->messages.size(), 1u);
    EXPECT_EQ(thread->messages.front().text, "the stored text");
}

}  // namespace
}  // namespace quillmark
