// What the tool prints and leaves behind when the history is hostile or the run is cut short.
#include <chrono>
#include <csignal>
#include <thread>

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "run_cli.h"
#include "support/history_fixture.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;
using testing::runCLI;

// Anna's name carries a terminal escape (clear screen) and a right-to-left override; her message too.
const std::string hostileNames = R"sql(
UPDATE chat SET display_name = 'Trip' || char(27) || '[2J' || char(8238) || 'gpj.exe' WHERE ROWID = 12;
INSERT INTO message (ROWID, guid, text, handle_id, date, service) VALUES
  (1, 'M-1', 'ring' || char(7) || ' ' || char(155) || '31m red', 1, 700000000000000000, 'iMessage'),
  (2, 'M-2', 'no date', 1, 0, 'iMessage'),
  (3, 'M-3', 'nul' || char(0) || 'and' || CAST(X'C3' AS TEXT) || 'broken', 1, 700000001000000000, 'iMessage');
INSERT INTO chat_message_join (chat_id, message_id) VALUES (12, 1), (12, 2), (12, 3);
)sql";

TEST(CLISafety, TextFromTheHistoryCannotDriveTheTerminalOrNameFiles) {
    HistoryFixture fixture(hostileNames);
    const std::string data = fixture.data().string();

    const auto list = runCLI({"--messages", data, "list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("Trip\\e[2J\\u202Egpj.exe"), std::string::npos) << list.out;
    const auto show = runCLI({"--messages", data, "show", "1"});
    EXPECT_NE(show.out.find("ring\\u0007 \\u009B31m red"), std::string::npos) << show.out;
    const auto json = runCLI({"--messages", data, "show", "1", "--json"});
    EXPECT_NE(json.out.find("Trip\\u001b[2J\\u202Egpj.exe"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("ring\\u0007 \\u009B31m red"), std::string::npos);
    for (const auto* out : {&list.out, &show.out, &json.out}) {
        EXPECT_EQ(out->find('\x1b'), std::string::npos);
        EXPECT_EQ(out->find("\u202E"), std::string::npos);
    }

    // Exported file names drop them; the message without a date keeps its place and shows none.
    const auto exported = runCLI({"--messages", data, "export", "1", "--format", "csv", "--folder",
                                  (fixture.temp() / "out").string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const fs::path csv = fixture.temp() / "out/Messages with Trip[2Jgpj.exe (2023-03-08 to 2023-03-08).csv";
    ASSERT_TRUE(fs::exists(csv)) << exported.out;
    const std::string rows = testing::readFile(csv);
    EXPECT_NE(rows.find("\r\n,UTC,"), std::string::npos) << rows;  // no date: an empty cell, first
    EXPECT_EQ(rows.find("0000-"), std::string::npos);
    EXPECT_NE(rows.find(",nuland\uFFFDbroken,"), std::string::npos);  // NUL gone, invalid UTF-8 replaced
    ASSERT_EQ(runCLI({"--messages", data, "export", "1", "--format", "html", "--folder",
                      (fixture.temp() / "html").string()})
                  .status,
              0);
    fs::path exportFolder;  // the conversation's folder, beside the batch's own index page
    for (const auto& entry : fs::directory_iterator(fixture.temp() / "html"))
        if (entry.is_directory()) exportFolder = entry.path();
    const std::string page = testing::readFile(exportFolder / "index.html");
    EXPECT_NE(page.find("<h2>No date</h2><p class=\"t\"><b>no date</b> no date</p>"), std::string::npos) << page;
    EXPECT_NE(page.find("nuland\uFFFDbroken"), std::string::npos);
    EXPECT_EQ(page.find('\0'), std::string::npos);
}

TEST(CLISafety, OwnMessagesAreSignedWithTheAccountsNameByDefault) {
    HistoryFixture fixture(HistoryFixture::message(1, 10, "from me", 0));
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    std::string name = account->pw_gecos ? account->pw_gecos : "";
    name = name.substr(0, name.find(','));
    const auto show = runCLI({"--messages", fixture.data().string(), "show", "1"});
    EXPECT_NE(show.out.find("] " + (name.empty() ? std::string("You") : name) + "\n"), std::string::npos) << show.out;
    const auto unnamed = runCLI({"--messages", fixture.data().string(), "--me", " ", "show", "1"});
    EXPECT_NE(unnamed.out.find("] You\n"), std::string::npos) << unnamed.out;
}

TEST(CLISafety, ARefusedDestinationExitsFourAndLeftOutFilesAreCounted) {
    HistoryFixture fixture(HistoryFixture::message(1, 10, "\xEF\xBF\xBC") +
                           "INSERT INTO attachment (ROWID, guid, filename) VALUES (1, 'AT-1', '/etc/passwd');\n"
                           "INSERT INTO message_attachment_join VALUES (1, 1);\n");
    const std::string data = fixture.data().string();
    const auto refused = runCLI({"--messages", data, "export", "1", "--format", "csv", "--output",
                                 fixture.database().string()});
    EXPECT_EQ(refused.status, 4);
    EXPECT_NE(refused.err.find("Quillmark doesn't write into the Messages history. Choose a folder outside "),
              std::string::npos)
        << refused.err;
    const auto exported = runCLI({"--messages", data, "export", "1", "--format", "csv", "--output",
                                  (fixture.temp() / "anna.csv").string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("  1 file was left out because it is not in this history\n"), std::string::npos)
        << exported.out;
}

// Entries of the folder whose names begin with the prefix.
std::vector<std::string> leftovers(const fs::path& folder, const std::string& prefix) {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path().string());
    return found;
}

TEST(CLISafety, AnInterruptedExportLeavesNoTemporaryFilesAndNoPrivateCopy) {
    // A history in write-ahead-log mode with its log, so the run reads a private copy, and a thread long
    // enough that the HTML export is caught in the middle.
    HistoryFixture fixture(R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
INSERT INTO message (ROWID, guid, text, handle_id, date, service)
  SELECT i, 'M-' || i, 'message number ' || i, 1, 700000000000000000 + i * 1000000000, 'iMessage' FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
INSERT INTO chat_message_join (chat_id, message_id) SELECT 10, i FROM n;
)sql");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(fixture.database().c_str(), &writer), SQLITE_OK);
    sqlite3_exec(writer, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;", nullptr, nullptr, nullptr);
    sqlite3_exec(writer, HistoryFixture::message(20001, 10, "in the log").c_str(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(fs::exists(fixture.database().string() + "-wal"));

    const fs::path out = fixture.temp() / "out", temporary = fixture.temp() / "tmp";
    fs::create_directories(temporary);
    fs::create_directories(out);
    bool caught = false;
    const auto result = runCLI({"--messages", fixture.data().string(), "export", "1", "--format", "html", "--output",
                                (out / "Anna").string()},
                               testing::CLIRun{{{"TMPDIR", temporary.string()}}, [&](int pid) {
                                                   const auto until = std::chrono::steady_clock::now() +
                                                                      std::chrono::seconds(60);
                                                   while (std::chrono::steady_clock::now() < until) {
                                                       if (!leftovers(out, ".quillmark-").empty() &&
                                                           !leftovers(temporary, "quillmark-history-").empty()) {
                                                           caught = true;
                                                           break;
                                                       }
                                                       std::this_thread::sleep_for(std::chrono::milliseconds(2));
                                                   }
                                                   kill(pid, SIGINT);
                                               }});
    sqlite3_close(writer);
    ASSERT_TRUE(caught) << "the export ended before it could be interrupted: " << result.out << result.err;
    EXPECT_EQ(result.signal, SIGINT) << result.status << " " << result.err;
    EXPECT_EQ(leftovers(out, ""), std::vector<std::string>{});
    EXPECT_EQ(leftovers(temporary, ""), std::vector<std::string>{});
}

}  // namespace
}  // namespace quillmark
