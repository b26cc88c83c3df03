// Opening, listing, showing, exporting and verifying change no byte beside or inside the history, whatever
// its journal: write-ahead log with its files, write-ahead log without them, or a rollback journal.
#include "service/export_service.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "service/verification.h"
#include "support/history_fixture.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;

enum class Journal { walWithFiles, walWithoutFiles, rollback };

void exec(sqlite3* db, const std::string& sql) { ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

// Rewrites the fixture's database in the journal mode asked for. With the log's files, the newest message
// lives only in the log, as it does while Messages is running.
void setJournal(const HistoryFixture& fixture, Journal journal, const fs::path& scratch) {
    if (journal == Journal::rollback) return;
    const fs::path working = scratch / "chat.db";
    fs::copy_file(fixture.database(), working);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(working.c_str(), &db), SQLITE_OK);
    exec(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    exec(db, HistoryFixture::message(3, 10, "only in the log"));
    if (journal == Journal::walWithFiles) {
        // Copied while the writer holds them open, the way a live history is copied.
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::copy_file(working.string() + suffix, fixture.database().string() + suffix,
                          fs::copy_options::overwrite_existing);
        sqlite3_close(db);
        return;
    }
    sqlite3_close(db);  // the last connection checkpoints and removes the log
    ASSERT_FALSE(fs::exists(working.string() + "-wal"));
    fs::copy_file(working, fixture.database(), fs::copy_options::overwrite_existing);
}

class UntouchedHistory : public ::testing::TestWithParam<Journal> {};

TEST_P(UntouchedHistory, NoByteChangesAndNothingIsMissed) {
    HistoryFixture fixture(HistoryFixture::message(1, 10, "first") + HistoryFixture::message(2, 10, "second"));
    fixture.temp().write("data/Messages/Attachments/a.txt", "attached");
    fs::create_directories(fixture.temp() / "scratch");
    setJournal(fixture, GetParam(), fixture.temp() / "scratch");
    const auto before = testing::folderState(fixture.data());

    {
        auto history = fixture.open();
        const Conversation anna = history->library().conversations().front();
        auto thread = history->library().thread(anna, {});
        ASSERT_TRUE(thread);
        EXPECT_EQ(thread->messages.size(), GetParam() == Journal::rollback ? 2u : 3u);
        ExportService::Request request;
        request.conversations = {anna};
        request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "", Date{1700000000});
        request.file = fixture.temp() / "anna.pdf";
        const auto exported = ExportService::run(*history, request);
        ASSERT_TRUE(exported) << exported.error().text;
        const auto verified = Verification::run(*history, request.file->string());
        ASSERT_TRUE(verified);
        EXPECT_TRUE(Verifier::summary(*verified).ok) << Verifier::summary(*verified).detail;
    }
    EXPECT_EQ(testing::folderState(fixture.data()), before);
}

INSTANTIATE_TEST_SUITE_P(Journals, UntouchedHistory,
                         ::testing::Values(Journal::walWithFiles, Journal::walWithoutFiles, Journal::rollback));

}  // namespace
}  // namespace quillmark
