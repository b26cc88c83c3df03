// The history reader against databases written by Messages itself, checked row by row against what the
// sqlite3 shell returns for the same rows.
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "store/messages_database.h"
#include "support/realdata.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Runs the sqlite3 shell on a file and returns its rows as JSON objects.
json sqliteShell(const fs::path& db, const std::string& sql) {
    const std::string command = "sqlite3 -readonly -json '" + db.string() + "' \"" + sql + "\"";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return json::array();
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    if (out.empty()) return json::array();
    return json::parse(out, nullptr, false);
}

std::string hex(const std::optional<std::vector<uint8_t>>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    if (!bytes) return out;
    for (uint8_t b : *bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

template <typename T>
std::optional<T> field(const json& row, const char* key) {
    if (!row.contains(key) || row[key].is_null()) return std::nullopt;
    return row[key].get<T>();
}

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

class RealHistory : public ::testing::TestWithParam<const char*> {};

TEST_P(RealHistory, AgreesWithTheSQLiteShell) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "sqlite3 shell not installed";
    testing::TempDir dir;
    const fs::path path = copyDatabase(realdata / "databases" / GetParam(), dir);
    auto opened = MessagesDatabase::open(path.string());
    ASSERT_TRUE(opened) << GetParam();
    MessagesDatabase& db = **opened;

    // Every column the queries name exists in these schemas but for the few that came later.
    const std::string query = db.messageQuery("1");
    if (std::string(GetParam()).find("macos15") != std::string::npos) {
        EXPECT_EQ(query.find("NULL"), std::string::npos);
    }
    ASSERT_TRUE(db.messages(std::vector<std::string>{"no-such-guid"})) << query;

    // Handles.
    auto handles = db.handles().value();
    const json shellHandles = sqliteShell(path, "SELECT ROWID, id, service FROM handle");
    ASSERT_EQ(handles.size(), shellHandles.size());
    for (const auto& row : shellHandles) {
        const auto& h = handles.at(row["ROWID"].get<int64_t>());
        EXPECT_EQ(h.address, field<std::string>(row, "id").value_or(""));
        EXPECT_EQ(h.service, field<std::string>(row, "service").value_or(""));
    }

    // Chats with their counts of non-reaction messages.
    auto chats = db.chats().value();
    const json shellChats = sqliteShell(
        path,
        "SELECT c.ROWID, c.guid, c.chat_identifier, c.display_name, c.style, c.service_name, count(m.ROWID) AS n, "
        "min(m.date) AS first, max(m.date) AS last FROM chat c JOIN chat_message_join j ON j.chat_id = c.ROWID "
        "JOIN message m ON m.ROWID = j.message_id WHERE coalesce(m.associated_message_type, 0) NOT BETWEEN 1000 "
        "AND 3999 GROUP BY c.ROWID");
    ASSERT_EQ(chats.size(), shellChats.size());
    std::map<int64_t, json> chatByID;
    for (const auto& row : shellChats) chatByID[row["ROWID"].get<int64_t>()] = row;
    std::vector<int64_t> chatIDs;
    for (size_t i = 0; i < chats.size(); ++i) {
        const auto& c = chats[i];
        const json& row = chatByID.at(c.id);
        chatIDs.push_back(c.id);
        EXPECT_EQ(c.guid, row["guid"].get<std::string>());
        EXPECT_EQ(c.identifier, field<std::string>(row, "chat_identifier").value_or(""));
        EXPECT_EQ(c.displayName, field<std::string>(row, "display_name"));
        EXPECT_EQ(c.style, field<int64_t>(row, "style").value_or(0));
        EXPECT_EQ(c.messageCount, row["n"].get<int64_t>());
        EXPECT_EQ(c.firstRaw, row["first"].get<int64_t>());
        EXPECT_EQ(c.lastRaw, row["last"].get<int64_t>());
        if (i > 0) {
            EXPECT_GE(chats[i - 1].lastRaw, c.lastRaw);
        }
    }

    // Every message of every chat, reactions included, bodies byte for byte.
    auto messages = db.messages(chatIDs, std::nullopt, std::nullopt).value();
    std::string idList;
    for (int64_t id : chatIDs) idList += (idList.empty() ? "" : ",") + std::to_string(id);
    const json shellMessages = sqliteShell(
        path, "SELECT DISTINCT m.ROWID, m.guid, m.text, hex(m.attributedBody) AS body, m.handle_id, m.is_from_me, "
              "m.date, m.service, m.associated_message_type AS t FROM chat_message_join j JOIN message m ON m.ROWID "
              "= j.message_id WHERE j.chat_id IN (" + idList + ") ORDER BY m.date, m.ROWID");
    ASSERT_EQ(messages.size(), shellMessages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        const auto& m = messages[i];
        const json& row = shellMessages[i];
        EXPECT_EQ(m.id, row["ROWID"].get<int64_t>());
        EXPECT_EQ(m.guid, row["guid"].get<std::string>());
        EXPECT_EQ(m.text, field<std::string>(row, "text"));
        EXPECT_EQ(hex(m.body), field<std::string>(row, "body").value_or(""));
        EXPECT_EQ(m.handleID, field<int64_t>(row, "handle_id").value_or(0));
        EXPECT_EQ(m.isFromMe, field<int64_t>(row, "is_from_me").value_or(0) != 0);
        EXPECT_EQ(m.date, field<int64_t>(row, "date").value_or(0));
        EXPECT_EQ(m.service, field<std::string>(row, "service").value_or(""));
        EXPECT_EQ(m.associatedType, field<int64_t>(row, "t").value_or(0));
    }

    // Attachments of those messages.
    auto attachments = db.attachments(chatIDs, std::nullopt, std::nullopt).value();
    const json shellAttachments = sqliteShell(
        path, "SELECT DISTINCT x.message_id, a.guid, a.filename, a.mime_type, a.total_bytes FROM "
              "message_attachment_join x JOIN attachment a ON a.ROWID = x.attachment_id JOIN chat_message_join j ON "
              "j.message_id = x.message_id WHERE j.chat_id IN (" + idList + ") ORDER BY x.message_id, a.ROWID");
    size_t total = 0;
    for (const auto& [id, list] : attachments) total += list.size();
    ASSERT_EQ(total, shellAttachments.size());
    std::map<int64_t, size_t> next;
    for (const auto& row : shellAttachments) {
        const int64_t messageID = row["message_id"].get<int64_t>();
        const auto& a = attachments.at(messageID).at(next[messageID]++);
        EXPECT_EQ(a.guid, row["guid"].get<std::string>());
        EXPECT_EQ(a.filename, field<std::string>(row, "filename"));
        EXPECT_EQ(a.mimeType, field<std::string>(row, "mime_type"));
        EXPECT_EQ(a.totalBytes, field<int64_t>(row, "total_bytes").value_or(0));
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, RealHistory,
                         ::testing::Values("macos13-chat/chat.db", "macos15-schema/chat.db", "ios13-sms/sms.db"),
                         [](const auto& param) {
                             std::string name = fs::path(param.param).parent_path().string();
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

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
