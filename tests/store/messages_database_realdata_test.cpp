// The history reader against databases written by Messages itself. Their rows are held to the plain
// queries in query_equivalence_test.cpp; here, what those cannot see: the schema the reader finds.
#include <filesystem>

#include <gtest/gtest.h>

#include "store/messages_database.h"
#include "support/realdata.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

// Copies a real database with its companion files into a private folder: opening may touch them.
fs::path copyDatabase(const fs::path& source, const testing::TempDir& dir) {
    const fs::path target = dir.path() / source.filename();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const fs::path from = source.string() + suffix;
        if (!fs::exists(from)) continue;
        fs::copy_file(from, target.string() + suffix);
        fs::permissions(target.string() + suffix, fs::perms::owner_read | fs::perms::owner_write);
    }
    return target;
}

TEST(RealHistory, TheNewestSchemaHasEveryColumnTheQueriesName) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    testing::TempDir dir;
    auto db = MessagesDatabase::open(copyDatabase(realdata / "databases/macos15-schema/chat.db", dir).string());
    ASSERT_TRUE(db);
    const std::string query = (*db)->messageQuery("1");
    EXPECT_EQ(query.find("NULL"), std::string::npos) << query;
    EXPECT_TRUE((*db)->messages(std::vector<std::string>{"no-such-guid"})) << query;
}

TEST(RealHistoryLegacy, IOS5HistoriesAreRefusedAsNotUnderstood) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    for (const char* name : {"ios5-sms/sms.db", "ios5-sms-wal/sms.db"}) {
        testing::TempDir dir;
        const fs::path path = copyDatabase(realdata / "databases" / name, dir);
        auto db = MessagesDatabase::open(path.string());
        ASSERT_FALSE(db) << name;
        // The legacy schema keeps its messages without chats.
        EXPECT_EQ(db.error(), MessagesDatabase::Failure::unrecognized("no chat table")) << name;
    }
}

}  // namespace
}  // namespace quillmark
