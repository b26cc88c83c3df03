// quillmark-cli export and fingerprint, run as a program on a small history written for each test.
#include <cstdio>

#include <gtest/gtest.h>

#include "core/sha256.h"
#include "run_cli.h"
#include "support/temp_dir.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

// Anna, known by her number only (one conversation), and the group "Trip / Fun" with Anna and Ben, the newest.
const std::string history = std::string(testing::fullSchema) + R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage'), (2, 'ben@example.com', 'iMessage');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name, display_name) VALUES
  (10, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage', NULL),
  (12, 'iMessage;+;chat-trip', 43, 'chat-trip', 'iMessage', 'Trip / Fun');
INSERT INTO chat_handle_join VALUES (10, 1), (12, 1), (12, 2);
INSERT INTO message (ROWID, guid, text, handle_id, is_from_me, date, service) VALUES
  (1, 'A-1', 'Hello, Anna', 1, 0, 700000000000000000, 'iMessage'),
  (2, 'A-2', 'Hi <there>', 0, 1, 700000100000000000, 'iMessage'),
  (3, 'T-1', 'Who is in?', 1, 0, 710000000000000000, 'iMessage'),
  (4, 'T-2', 'Me!', 0, 1, 710000060000000000, 'iMessage');
INSERT INTO chat_message_join (chat_id, message_id) VALUES (10, 1), (10, 2), (12, 3), (12, 4);
)sql";

class CLIExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(temp_ / "data/Messages");
        testing::makeDatabase(temp_ / "data/Messages/chat.db", history);
    }

    testing::CLIResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--messages", (temp_ / "data").string(), "--time-zone", "UTC", "--me", "Sam"});
        return testing::runCLI(args);
    }

    testing::TempDir temp_;
};

TEST_F(CLIExportTest, OneConversationToAFilePrintsItsHashesAndTheFingerprint) {
    const fs::path csv = temp_ / "anna.csv";
    const auto result = cli({"export", "2", "--format", "csv", "--output", csv.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string bytes = readFile(csv);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(bytes.find("\r\n2023-03-08T20:26:40Z,UTC,+1 (555) 123-0001,+15551230001,Sam,iMessage,\"Hello, Anna\","),
              std::string::npos)
        << bytes;

    const auto fingerprint = cli({"fingerprint", "2"});
    ASSERT_EQ(fingerprint.status, 0) << fingerprint.err;
    EXPECT_EQ(result.out, csv.string() + "\n  messages: 2\n  file SHA-256: " + SHA256::of(bytes) +
                              "\n  fingerprint: " + fingerprint.out);

    // The canonical text is exactly what the fingerprint hashes.
    const auto canonical = cli({"fingerprint", "2", "--canonical"});
    ASSERT_EQ(canonical.status, 0);
    EXPECT_EQ(canonical.out.rfind("quillmark-fingerprint v1\nchats iMessage;-;+15551230001\n{", 0), 0u);
    EXPECT_EQ(SHA256::of(canonical.out) + "\n", fingerprint.out);
}

TEST_F(CLIExportTest, ABatchNamesEachExportAndNeverOverwrites) {
    const fs::path folder = temp_ / "exports";
    ASSERT_EQ(cli({"export", "--all", "--format", "csv", "--folder", folder.string()}).status, 0);
    const auto again = cli({"export", "--all", "--format", "csv", "--folder", folder.string()});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(fs::exists(folder / "Messages with Trip - Fun (2023-07-02 to 2023-07-02) 2.csv"));
    EXPECT_TRUE(fs::exists(folder / "Messages with +1 (555) 123-0001 (2023-03-08 to 2023-03-08) 2.csv"));
    EXPECT_NE(again.out.find("(2023-07-02 to 2023-07-02) 2.csv\n  messages: 2\n"), std::string::npos) << again.out;
}

TEST_F(CLIExportTest, MistakesAreUsageErrorsAndFailuresExitWithFour) {
    const std::string out = (temp_ / "x.csv").string();
    EXPECT_EQ(cli({"export", "1", "--output", out}).status, 2);                              // no format
    EXPECT_EQ(cli({"export", "1", "--format", "docx", "--output", out}).status, 2);          // no such format
    EXPECT_EQ(cli({"export", "--all", "--format", "csv", "--output", out}).status, 2);       // one file, many
    EXPECT_EQ(cli({"export", "1", "--format", "csv"}).status, 2);                            // nowhere to go
    EXPECT_EQ(cli({"export", "9", "--format", "csv", "--output", out}).status, 2);           // no such conversation
    EXPECT_FALSE(fs::exists(out));

    const fs::path nowhere = temp_ / "missing" / "x.csv";
    const auto failed = cli({"export", "1", "--format", "csv", "--output", nowhere.string()});
    EXPECT_EQ(failed.status, 4);
    EXPECT_NE(failed.err.find("\u201c" + nowhere.string() + "\u201d: No such file or directory."), std::string::npos)
        << failed.err;
}

// On a terminal a line follows the export and is wiped before the result is printed; --quiet leaves it out.
// The terminal is a pseudo-terminal that script(1) opens; elsewhere the tests check that nothing of it shows.
TEST_F(CLIExportTest, ATerminalSeesOneProgressLineThatQuietLeavesOut) {
    const auto onTerminal = [&](const std::string& extra) {
        const fs::path csv = temp_ / ("anna" + extra + ".csv");
        const std::string command = std::string(QUILLMARK_CLI_PATH) + " --messages '" + (temp_ / "data").string() +
                                    "' --time-zone UTC export 2 --format csv --output '" + csv.string() + "' " + extra;
        FILE* pipe = ::popen(("script -qec \"" + command + "\" /dev/null 2>&1").c_str(), "r");
        std::string out;
        char buffer[4096];
        for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        if (pipe) ::pclose(pipe);
        EXPECT_TRUE(fs::exists(csv)) << out;
        return out;
    };
    const std::string shown = onTerminal("");
    EXPECT_NE(shown.find("+1 (555) 123-0001, "), std::string::npos) << shown;
    EXPECT_NE(shown.find("100 %"), std::string::npos) << shown;
    // Wiped before the result: the path starts a clean line.
    EXPECT_NE(shown.find("\r\x1b[K" + (temp_ / "anna.csv").string()), std::string::npos) << shown;
    EXPECT_EQ(onTerminal("--quiet").find("\x1b[K"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
