// Histories on read-only media: a write-ahead-log database in a folder this process cannot write, with and
// without the log that holds its newest messages.
#include <filesystem>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/messages_database.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

const char* const walHistory = R"sql(
PRAGMA journal_mode=WAL;
INSERT INTO chat (ROWID, guid, chat_identifier) VALUES (1, 'c1', '+15551234567');
INSERT INTO message (ROWID, guid, text, date) VALUES (1, 'm1', 'checkpointed', 10);
INSERT INTO chat_message_join (chat_id, message_id) VALUES (1, 1);
)sql";

void makeReadOnly(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

// Opens the history as an unprivileged user and lists its message texts, or names the failure.
std::string readAsUnprivileged(const fs::path& path) {
    auto result = testing::runUnprivileged([&] {
        auto db = MessagesDatabase::open(path.string());
        if (!db) return "failed: " + db.error().description();
        auto rows = (*db)->messages({1}, std::nullopt, std::nullopt);
        if (!rows) return "query failed: " + rows.error().description();
        std::string texts;
        for (const auto& m : *rows) texts += m.text.value_or("") + ";";
        return texts;
    });
    return result.value_or("child died");
}

// Writes the history in dir/live and, while a writer keeps its newest message in the log, copies the
// database and the log to `path` as they are.
void copyWithNewestInLog(const testing::TempDir& dir, const fs::path& path) {
    fs::create_directories(dir / "live");
    const fs::path live = dir / "live" / "chat.db";
    testing::makeDatabase(live, std::string(testing::fullSchema) + walHistory);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(live.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA wal_autocheckpoint=0;"
                           "INSERT INTO message (ROWID, guid, text, date) VALUES (2, 'm2', 'only in the log', 20);"
                           "INSERT INTO chat_message_join (chat_id, message_id) VALUES (1, 2);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    for (const char* suffix : {"", "-wal"}) fs::copy_file(live.string() + suffix, path.string() + suffix);
    sqlite3_close(writer);
}

TEST(ReadOnlyMedia, WALHistoryWithoutLogOpensImmutable) {
    testing::TempDir dir;
    fs::create_directories(dir / "media");
    const fs::path path = dir / "media" / "chat.db";
    testing::makeDatabase(path, std::string(testing::fullSchema) + walHistory);  // closing checkpoints the log
    ASSERT_FALSE(fs::exists(path.string() + "-wal"));
    makeReadOnly(dir / "media");

    EXPECT_EQ(readAsUnprivileged(path), "checkpointed;");
    EXPECT_FALSE(fs::exists(path.string() + "-shm"));
}

TEST(ReadOnlyMedia, WALHistoryWithLogIsReadFromAPrivateCopy) {
    testing::TempDir dir;
    fs::create_directories(dir / "media");
    const fs::path path = dir / "media" / "chat.db";
    ASSERT_NO_FATAL_FAILURE(copyWithNewestInLog(dir, path));
    ASSERT_GT(fs::file_size(path.string() + "-wal"), 0u);
    makeReadOnly(dir / "media");
    const auto before = fs::last_write_time(path.string() + "-wal");

    EXPECT_EQ(readAsUnprivileged(path), "checkpointed;only in the log;");
    EXPECT_FALSE(fs::exists(path.string() + "-shm"));
    EXPECT_EQ(fs::last_write_time(path.string() + "-wal"), before);
}

TEST(ReadOnlyMedia, PrivateCopyIsRemovedWhenTheHistoryCloses) {
    testing::TempDir dir;
    fs::create_directories(dir / "media");
    const fs::path path = dir / "media" / "chat.db";
    testing::makeDatabase(path, std::string(testing::fullSchema) + walHistory);
    // A log file of zero frames still makes the reader take the copy.
    dir.write("media/chat.db-wal", "");
    makeReadOnly(dir / "media");

    auto result = testing::runUnprivileged([&] {
        const auto tempFolders = [] {
            size_t n = 0;
            for (const auto& e : fs::directory_iterator(fs::temp_directory_path()))
                if (e.path().filename().string().rfind("quillmark-history-", 0) == 0) ++n;
            return n;
        };
        const size_t before = tempFolders();
        size_t during = 0;
        {
            auto db = MessagesDatabase::open(path.string());
            if (!db) return std::string("failed");
            during = tempFolders();
        }
        return std::to_string(during - before) + "," + std::to_string(tempFolders() - before);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, "1,0");
}

// Beside a history in a folder we may write, reading must not leave a log or an index behind either.
TEST(WriteAheadLogHistory, ReadingWritesNothingBesideIt) {
    testing::TempDir dir;
    const fs::path path = dir / "chat.db";
    testing::makeDatabase(path, std::string(testing::fullSchema) + walHistory);
    ASSERT_FALSE(fs::exists(path.string() + "-wal"));
    {
        auto db = MessagesDatabase::open(path.string());
        ASSERT_TRUE(db);
        EXPECT_EQ((*db)->messages({1}, std::nullopt, std::nullopt).value().size(), 1u);
    }
    EXPECT_FALSE(fs::exists(path.string() + "-wal"));
    EXPECT_FALSE(fs::exists(path.string() + "-shm"));
}

TEST(WriteAheadLogHistory, LogWithoutItsIndexIsReadWithoutMakingOne) {
    testing::TempDir dir;
    const fs::path path = dir / "chat.db";
    ASSERT_NO_FATAL_FAILURE(copyWithNewestInLog(dir, path));
    const std::string log = testing::readFile(path.string() + "-wal");
    {
        auto db = MessagesDatabase::open(path.string());
        ASSERT_TRUE(db);
        EXPECT_EQ((*db)->messages({1}, std::nullopt, std::nullopt).value().size(), 2u);
    }
    EXPECT_FALSE(fs::exists(path.string() + "-shm"));
    EXPECT_EQ(testing::readFile(path.string() + "-wal"), log);
}

}  // namespace
}  // namespace quillmark
