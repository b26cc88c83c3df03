// quillmark-cli as a program: exit statuses and their sentences, naming conversations, list and show in
// text and JSON, on a small data folder written for each test.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_cli.h"
#include "support/temp_dir.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

using nlohmann::json;
using testing::runCLI;

// Anna over iMessage and SMS (one conversation), and the group "Trip" with Anna and Ben, whose newest
// message makes it the first in the list. Ben loves one message and replies to another. The address
// book names Anna; Ben stays an address.
const std::string history = std::string(testing::fullSchema) + R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage'), (2, 'ben@example.com', 'iMessage'),
  (3, '+15551230001', 'SMS');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name, display_name) VALUES
  (10, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage', NULL),
  (11, 'SMS;-;+15551230001', 45, '+15551230001', 'SMS', NULL),
  (12, 'iMessage;+;chat-trip', 43, 'chat-trip', 'iMessage', 'Trip');
INSERT INTO chat_handle_join VALUES (10, 1), (11, 3), (12, 1), (12, 2);
INSERT INTO message (ROWID, guid, text, handle_id, is_from_me, date, service, associated_message_guid,
  associated_message_type, thread_originator_guid) VALUES
  (1, 'A-1', 'Hello over iMessage', 1, 0, 700000000000000000, 'iMessage', NULL, 0, NULL),
  (2, 'A-2', 'Hello over SMS', 3, 1, 700000100000000000, 'SMS', NULL, 0, NULL),
  (3, 'T-1', 'Who is in?', 1, 0, 710000000000000000, 'iMessage', NULL, 0, NULL),
  (4, 'T-2', 'Me!', 0, 1, 710000060000000000, 'iMessage', NULL, 0, NULL),
  (5, 'T-3', 'Loved “Me!”', 2, 0, 710000120000000000, 'iMessage', 'p:0/T-2', 2000, NULL),
  (6, 'T-4', 'Count me in too', 2, 0, 710000180000000000, 'iMessage', NULL, 0, 'T-1');
INSERT INTO chat_message_join (chat_id, message_id) VALUES (10, 1), (11, 2), (12, 3), (12, 4), (12, 5), (12, 6);
)sql";

const std::string addressBook = R"sql(
CREATE TABLE ZABCDRECORD (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZFIRSTNAME VARCHAR, ZLASTNAME VARCHAR);
CREATE TABLE ZABCDPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZFULLNUMBER VARCHAR, ZLABEL VARCHAR);
CREATE TABLE ZABCDEMAILADDRESS (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZADDRESS VARCHAR);
INSERT INTO ZABCDRECORD (Z_PK, ZFIRSTNAME, ZLASTNAME) VALUES (1, 'Anna', 'Berg');
INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES (1, '+1 (555) 123-0001');
)sql";

class CLITest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(temp_ / "data/Messages");
        std::filesystem::create_directories(temp_ / "data/AddressBook");
        testing::makeDatabase(temp_ / "data/Messages/chat.db", history);
        testing::makeDatabase(temp_ / "data/AddressBook/AddressBook-v22.abcddb", addressBook);
    }

    testing::CLIResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--messages", (temp_ / "data").string(), "--time-zone", "UTC"});
        return runCLI(args);
    }

    testing::TempDir temp_;
};

TEST_F(CLITest, ListNewestFirstWithPositionIdTitleCountDateAndSnippet) {
    const auto r = cli({"list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "1. Trip  [group:iMessage;+;chat-trip]\n"
              "   3 messages, last Jul 2, 2023, 2:16\u202fPM: Count me in too\n"
              "2. Anna Berg  [person:card:0]\n"
              "   2 messages, last Mar 8, 2023, 8:28\u202fPM: Hello over SMS\n");
}

TEST_F(CLITest, ListJSONLeadsWithTheListFieldsThenTheConversation) {
    const auto r = cli({"list", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json list = json::parse(r.out);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].size(), 14u);  // index, title, snippet and the conversation's 11 fields
    EXPECT_EQ(r.out.rfind(R"([{"index":1,"id":"group:iMessage;+;chat-trip","title":"Trip","messageCount":3,)", 0), 0u);

    const json& anna = list[1];
    EXPECT_EQ(anna["lastDate"], (978307200 + 700000100) * int64_t{1000});
    EXPECT_EQ(anna["chatIDs"], json({10, 11}));
    EXPECT_EQ(anna["participants"], json::parse(R"([{"address":"+15551230001","name":"Anna Berg"}])"));
}

// The three ways of naming a conversation agree; global options may follow the command and take "=".
TEST_F(CLITest, ConversationByPositionIdOrChatGUID) {
    const auto byPosition = cli({"show", "2", "--json"});
    ASSERT_EQ(byPosition.status, 0) << byPosition.err;
    for (const char* name : {"person:card:0", "SMS;-;+15551230001"}) {
        const auto r = runCLI({"show", name, "--json", "--time-zone=UTC", "--messages=" + (temp_ / "data").string()});
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.out, byPosition.out) << name;
    }
    EXPECT_EQ(json::parse(byPosition.out)["conversation"]["id"], "person:card:0");
}

TEST_F(CLITest, ShowTextIsATranscript) {
    const auto r = cli({"--me", "Sam", "show", "group:iMessage;+;chat-trip"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Trip\n"
              "Anna Berg (+1 (555) 123-0001); ben@example.com\n"
              "3 messages, Jul 2, 2023, 2:13\u202fPM – Jul 2, 2023, 2:16\u202fPM\n"
              "\n"
              "[Jul 2, 2023, 2:13\u202fPM] Anna Berg\n"
              "  Who is in?\n"
              "[Jul 2, 2023, 2:14\u202fPM] Sam\n"
              "  Me!\n"
              "  ❤️ ben@example.com\n"
              "[Jul 2, 2023, 2:16\u202fPM] ben@example.com\n"
              "  ↳ reply to Anna Berg: \"Who is in?\"\n"
              "  Count me in too\n");
}

TEST_F(CLITest, UnavailableHistoriesExitThreeWithTheirSentence) {
    const auto missing = runCLI({"--messages", (temp_ / "nowhere").string(), "list"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("No Messages history here yet\nThere is no Messages history at " +
                                    (temp_ / "nowhere").string() + ". Name the folder that holds chat.db",
                                0),
              0u)
        << missing.err;

    // A folder without a history is read as a data folder, and the sentence names where chat.db would be.
    std::filesystem::create_directories(temp_ / "empty");
    const auto empty = runCLI({"--messages", (temp_ / "empty").string(), "list"});
    EXPECT_EQ(empty.status, 3);
    EXPECT_NE(empty.err.find((temp_ / "empty/Messages/chat.db").string()), std::string::npos) << empty.err;

    const auto text = temp_.write("notes.txt", "just some notes, not a database at all, long enough to be read\n");
    const auto foreign = runCLI({"--messages", text.string(), "show", "1"});
    EXPECT_EQ(foreign.status, 3);
    EXPECT_EQ(foreign.err.rfind("Quillmark can't read the Messages history\n"
                                "The file isn't a Messages history Quillmark knows: ",
                                0),
              0u)
        << foreign.err;
}

TEST_F(CLITest, RefusedHistoryExitsThreeWithWhatToCheckNotAsMissing) {
    namespace fs = std::filesystem;
    fs::permissions(temp_.path(), fs::perms::owner_all | fs::perms::others_exec);
    // A folder this user may not enter, at each level: the Messages folder itself, and the data folder above
    // it (which hides whether Messages/chat.db is there at all).
    for (const fs::path& closed : {temp_ / "data/Messages", temp_ / "data"}) {
        fs::permissions(closed, fs::perms::owner_all);
        const auto r = testing::runCLIUnprivileged({"--messages", (temp_ / "data").string(), "list"});
        fs::permissions(closed, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_EQ(r.err.rfind("Quillmark can't read the Messages history\nThis account can't read " +
                                  (temp_ / "data/Messages/chat.db").string(),
                              0),
                  0u)
            << r.err;
        EXPECT_NE(r.err.find("Check the permissions of"), std::string::npos);
    }
}

TEST_F(CLITest, UsageMistakesExitTwoWithASentence) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"show", "9"}, "There is no conversation \"9\" in this history (it has 2)"},
        {{"show", "person:nobody"}, "There is no conversation \"person:nobody\""},
        {{"show", "1", "--from", "2024-02-30"}, "--from: \"2024-02-30\" isn't a date"},
        {{"show", "1", "--to", "tomorrow"}, "--to: \"tomorrow\" isn't a date"},
        {{"show", "1", "--from", "2024-02-02", "--to", "2024-02-01"}, "comes after --to"},
        {{"list", "--from", "2024-01-01"}, "--from isn't an option of list"},
        {{"lsit"}, "\"lsit\" isn't a command"},
        {{"--time-zone", "Mars/Olympus", "list"}, "\"Mars/Olympus\" isn't a time zone"},
        {{"--locale", "xx_YY", "list"}, "\"xx_YY\" isn't a locale"},
        {{"--paper", "legal", "list"}, "--paper is letter or a4, not \"legal\""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--messages", (temp_ / "data").string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runCLI(args);
        EXPECT_EQ(r.status, 2) << c.says << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.says;
    }
}

}  // namespace
}  // namespace quillmark
