// The history reader's queries against the plain texts they stand for: every handle, chat, last message,
// message and attachment row that MessagesDatabase returns must equal, in order, what these straightforward
// joins return on the same file. The reader reads in its own, faster way; these texts are kept here only.
//
// Where the plain texts leave an order open they are given one: equal dates of the last message and equal
// latest dates in the chat list go to the higher ROWID, and a message in two chats keeps the lower chat.
#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "sample_history/sample_history.h"
#include "store/messages_database.h"
#include "support/realdata.h"
#include "support/temp_dir.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string optional(const std::set<std::string>& columns, const char* alias, const std::string& name) {
    return columns.count(name) ? std::string(alias) + "." + name : "NULL";
}

// The straightforward queries, run on a connection of their own.
class Reference {
public:
    Reference(const fs::path& path, const MessagesDatabase& reader)
        : db_(std::move(*SQLiteDatabase::openReadOnly(path.string()))), reader_(reader) {}

    std::map<int64_t, HandleRow> handles() {
        std::map<int64_t, HandleRow> result;
        each("SELECT ROWID, id, " + optional(reader_.handleColumns(), "h", "service") + " FROM handle h", {},
             [&](Statement& st) {
                 result[st.int64(0)] = HandleRow{st.int64(0), st.string(1).value_or(""), st.string(2).value_or("")};
             });
        return result;
    }

    std::vector<ChatRow> chats() {
        std::map<int64_t, ChatRow> byID;
        const auto& c = reader_.chatColumns();
        each("SELECT c.ROWID, c.guid, " + optional(c, "c", "chat_identifier") + ", " + optional(c, "c", "display_name") +
                 ", " + optional(c, "c", "group_id") + ", " + optional(c, "c", "style") + ", " +
                 optional(c, "c", "service_name") + " FROM chat c",
             {}, [&](Statement& st) {
                 ChatRow& chat = byID[st.int64(0)];
                 chat.id = st.int64(0);
                 chat.guid = st.string(1).value_or("");
                 chat.identifier = st.string(2).value_or("");
                 chat.displayName = st.string(3);
                 chat.groupID = st.string(4);
                 chat.style = st.int64(5);
                 chat.service = st.string(6).value_or("");
             });
        each("SELECT chat_id, handle_id FROM chat_handle_join ORDER BY chat_id, handle_id", {}, [&](Statement& st) {
            if (auto it = byID.find(st.int64(0)); it != byID.end()) it->second.handleIDs.push_back(st.int64(1));
        });
        each("SELECT j.chat_id, count(*), min(m.date), max(m.date) FROM chat_message_join j JOIN message m ON m.ROWID = "
             "j.message_id WHERE 1 " + reactionFilter(true) + " GROUP BY j.chat_id",
             {}, [&](Statement& st) {
                 if (auto it = byID.find(st.int64(0)); it != byID.end()) {
                     it->second.messageCount = st.int64(1);
                     it->second.firstRaw = st.int64(2);
                     it->second.lastRaw = st.int64(3);
                 }
             });
        std::vector<ChatRow> result;
        for (auto& [id, chat] : byID)
            if (chat.messageCount > 0) result.push_back(chat);
        std::stable_sort(result.begin(), result.end(), [](const ChatRow& a, const ChatRow& b) {
            return a.lastRaw != b.lastRaw ? a.lastRaw > b.lastRaw : a.id > b.id;
        });
        return result;
    }

    std::map<int64_t, LastMessage> last(const std::vector<int64_t>& chatIDs) {
        std::map<int64_t, LastMessage> result;
        for (int64_t id : chatIDs) {
            each("SELECT m.text, " + messageColumn("attributedBody") + ", " + messageColumn("cache_has_attachments") +
                     ", m.is_from_me FROM chat_message_join j JOIN message m ON m.ROWID = j.message_id WHERE j.chat_id "
                     "= ? " + reactionFilter(false) + " AND " + messageColumn("item_type") +
                     " IS NOT 1 ORDER BY m.date DESC, m.ROWID DESC LIMIT 1",
                 {BindValue{id}}, [&](Statement& st) {
                     result[id] = LastMessage{st.string(0), st.data(1), st.int64(2) != 0, st.int64(3) != 0};
                 });
        }
        return result;
    }

    std::vector<MessageRow> messages(const std::string& condition, const std::vector<BindValue>& parameters) {
        std::string columns;
        for (const char* name :
             {"attributedBody", "handle_id", "is_from_me", "date", "date_read", "date_delivered", "service", "subject",
              "associated_message_guid", "associated_message_type", "associated_message_emoji", "item_type",
              "group_action_type", "group_title", "other_handle", "balloon_bundle_id", "expressive_send_style_id",
              "thread_originator_guid", "date_edited", "date_retracted", "message_summary_info", "is_audio_message"}) {
            columns += ", " + messageColumn(name);
        }
        std::vector<MessageRow> result;
        std::set<int64_t> seen;
        each("SELECT m.ROWID, m.guid, m.text" + columns + ", j.chat_id FROM chat_message_join j JOIN message m ON "
             "m.ROWID = j.message_id WHERE " + condition + " ORDER BY m.date, m.ROWID, j.chat_id",
             parameters, [&](Statement& st) {
                 if (!seen.insert(st.int64(0)).second) return;
                 result.push_back(MessageRow{st.int64(0), st.string(1).value_or(""), st.string(2), st.data(3),
                                             st.int64(4), st.int64(5) != 0, st.int64(6), st.int64(7), st.int64(8),
                                             st.string(9).value_or(""), st.string(10), st.string(11), st.int64(12),
                                             st.string(13), st.int64(14), st.int64(15), st.string(16), st.int64(17),
                                             st.string(18), st.string(19), st.string(20), st.int64(21), st.int64(22),
                                             st.data(23), st.int64(24) != 0, st.int64(25)});
             });
        return result;
    }

    std::map<int64_t, std::vector<AttachmentRow>> attachments(const std::string& condition,
                                                              const std::vector<BindValue>& parameters) {
        std::map<int64_t, std::vector<AttachmentRow>> result;
        const auto& a = reader_.attachmentColumns();
        if (a.empty()) return result;
        std::set<std::string> seen;
        auto x = [&](const char* name) { return optional(a, "a", name); };
        each("SELECT x.message_id, a.guid, " + x("filename") + ", " + x("mime_type") + ", " + x("uti") + ", " +
                 x("transfer_name") + ", " + x("total_bytes") + ", " + x("is_sticker") + ", " + x("hide_attachment") +
                 " FROM message_attachment_join x JOIN attachment a ON a.ROWID = x.attachment_id JOIN "
                 "chat_message_join j ON j.message_id = x.message_id JOIN message m ON m.ROWID = x.message_id WHERE " +
                 condition + " ORDER BY x.message_id, a.ROWID",
             parameters, [&](Statement& st) {
                 AttachmentRow row{st.int64(0), st.string(1).value_or(""), st.string(2), st.string(3), st.string(4),
                                   st.string(5), st.int64(6), st.int64(7) != 0, st.int64(8) != 0};
                 if (seen.insert(std::to_string(row.messageID) + "/" + row.guid).second)
                     result[row.messageID].push_back(std::move(row));
             });
        return result;
    }

private:
    template <typename F>
    void each(const std::string& sql, const std::vector<BindValue>& parameters, F&& row) {
        auto statement = db_->prepare(sql);
        ASSERT_TRUE(statement) << statement.error().description();
        (*statement)->bindAll(parameters);
        ASSERT_TRUE((*statement)->forEachRow([&] { row(**statement); }));
    }
    std::string messageColumn(const char* name) const { return optional(reader_.messageColumns(), "m", name); }
    std::string reactionFilter(bool zeroTerm) const {
        if (!reader_.messageColumns().count("associated_message_type")) return "";
        return zeroTerm ? "AND (m.associated_message_type IS NULL OR m.associated_message_type = 0 OR "
                          "m.associated_message_type NOT BETWEEN 1000 AND 3999)"
                        : "AND (m.associated_message_type IS NULL OR m.associated_message_type NOT BETWEEN 1000 AND 3999)";
    }

    std::unique_ptr<SQLiteDatabase> db_;
    const MessagesDatabase& reader_;
};

std::string idList(const std::vector<int64_t>& ids) {
    std::string out;
    for (int64_t id : ids) out += (out.empty() ? "" : ",") + std::to_string(id);
    return out;
}

// Holds the reader to the reference on one file: the handles, the chat list, the last messages, and the
// messages and attachments of single chats, of pairs, of all chats, within date ranges, and by GUID.
void expectSameRows(const fs::path& path) {
    SCOPED_TRACE(path.string());
    auto opened = MessagesDatabase::open(path.string());
    ASSERT_TRUE(opened);
    MessagesDatabase& db = **opened;
    Reference reference(path, db);
    EXPECT_EQ(db.handles().value(), reference.handles());

    const std::vector<ChatRow> chats = reference.chats();
    ASSERT_EQ(db.chats().value(), chats);
    std::vector<int64_t> chatIDs;
    for (const ChatRow& chat : chats) chatIDs.push_back(chat.id);
    std::vector<int64_t> asked = chatIDs;
    asked.push_back(987654321);  // no such chat
    EXPECT_EQ(db.last(asked).value(), reference.last(asked));
    const auto list = db.chatList().value();
    EXPECT_EQ(list.chats, chats);
    EXPECT_EQ(list.last, reference.last(chatIDs));

    std::vector<std::vector<int64_t>> sets{chatIDs};
    for (size_t i = 0; i < chatIDs.size(); ++i) {
        sets.push_back({chatIDs[i]});
        if (i + 1 < chatIDs.size()) sets.push_back({chatIDs[i + 1], chatIDs[i]});
    }
    std::vector<std::string> guids{"no-such-guid"};
    for (const auto& set : sets) {
        const std::string in = "j.chat_id IN (" + idList(set) + ")";
        const auto all = reference.messages(in, {});
        ASSERT_EQ(db.messages(set, std::nullopt, std::nullopt).value(), all) << idList(set);
        EXPECT_EQ(db.attachments(set, std::nullopt, std::nullopt).value(), reference.attachments(in, {})) << idList(set);
        if (set.size() > 1) continue;
        for (const MessageRow& m : all) guids.push_back(m.guid);
        if (all.size() < 3) continue;
        // Bounds on stored dates, equal ones included at both ends.
        const int64_t start = all[all.size() / 3].date, end = all[2 * all.size() / 3].date;
        const std::string bounded = in + " AND m.date >= ? AND m.date <= ?";
        EXPECT_EQ(db.messages(set, start, end).value(), reference.messages(bounded, {start, end})) << idList(set);
        EXPECT_EQ(db.attachments(set, start, end).value(), reference.attachments(bounded, {start, end}));
        EXPECT_EQ(db.messages(set, std::nullopt, end).value(), reference.messages(in + " AND m.date <= ?", {end}));
    }
    // GUIDs go in statements of 400; each statement's rows are in order.
    std::vector<MessageRow> expected;
    for (size_t at = 0; at < guids.size(); at += 400) {
        const size_t n = std::min<size_t>(400, guids.size() - at);
        std::string marks;
        std::vector<BindValue> values;
        for (size_t i = 0; i < n; ++i) {
            marks += i ? ",?" : "?";
            values.emplace_back(guids[at + i]);
        }
        auto chunk = reference.messages("m.guid IN (" + marks + ")", values);
        expected.insert(expected.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(db.messages(guids).value(), expected);
}

// A small history made to meet every case the plain texts decide: chats without messages, messages in
// two chats, join rows of deleted messages and handles, NULL, negative and equal dates, every reaction
// type the count leaves out and its neighbours, membership changes, and attachments shared by messages.
// `odd` stores a few values as reals and text, which SQLite orders and compares by rules of its own: dates
// (oddDates), types and item types (oddTypes), a join key (oddKey).
enum Odd { oddDates = 1, oddTypes = 2, oddKey = 4 };
std::string randomHistory(uint32_t seed, int messages, bool full, int odd) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    const int chats = messages / 6 + 3, handles = chats / 2 + 2;
    std::string sql = full ? testing::fullSchema : testing::bareSchema;
    sql += "BEGIN;";
    for (int h = 1; h <= handles; ++h)
        sql += "INSERT INTO handle (ROWID, id" + std::string(full ? ", service" : "") + ") VALUES (" +
               std::to_string(h) + ", '+1555" + std::to_string(h) + "'" + (full ? ", 'SMS'" : "") + ");";
    for (int c = 1; c <= chats; ++c) {
        if (full)
            sql += "INSERT INTO chat (ROWID, guid, style, display_name) VALUES (" + std::to_string(c) + ", 'c" +
                   std::to_string(c) + "', " + (pick(3) ? "45" : "43") + ", " + (pick(2) ? "NULL" : "'G'") + ");";
        else
            sql += "INSERT INTO chat VALUES (" + std::to_string(c) + ", 'c" + std::to_string(c) + "');";
        // Handle numbers past the last one stand for deleted handles.
        for (int k = pick(3); k > 0; --k)
            sql += "INSERT OR IGNORE INTO chat_handle_join VALUES (" + std::to_string(c) + ", " +
                   std::to_string(1 + pick(handles + 2)) + ");";
    }
    const char* types[] = {"NULL", "0", "0", "0", "0", "2", "999", "1000", "1001", "1500", "2000", "2001", "2002",
                           "2003", "2004", "2005", "2006", "2007", "2008", "2999", "3000", "3001", "3005", "3006",
                           "3007", "3500", "3999", "4000"};
    const char* items[] = {"0", "0", "0", "0", "1", "2", "3", "NULL"};
    for (int m = 1; m <= messages; ++m) {
        // Few distinct dates, so that many are equal; some NULL, some before 2001.
        std::string date = std::to_string((pick(messages / 3 + 2) - 2) * 1000000000LL);
        if (pick(12) == 0) date = "NULL";
        if ((odd & oddDates) && pick(20) == 0) date = pick(2) ? "2.5" : "'soon'";
        const std::string id = std::to_string(m);
        if (full) {
            sql += "INSERT INTO message (ROWID, guid, text, attributedBody, handle_id, is_from_me, date, "
                   "associated_message_type, associated_message_guid, item_type, cache_has_attachments) VALUES (" +
                   id + ", 'g" + id + "', " + (pick(5) ? "'t" + id + "'" : "NULL") + ", " +
                   (pick(3) ? "x'0a0b" + std::string(pick(2) ? "0c" : "") + "'" : "NULL") + ", " +
                   std::to_string(pick(handles + 2)) + ", " + std::to_string(pick(2)) + ", " + date + ", " +
                   ((odd & oddTypes) && pick(30) == 0 ? (pick(2) ? "3999.5" : "'2000x'") : types[pick(static_cast<int>(std::size(types)))]) +
                   ", 'p:0/g" + std::to_string(1 + pick(messages)) + "', " +
                   ((odd & oddTypes) && pick(30) == 0 ? "1.5" : items[pick(static_cast<int>(std::size(items)))]) + ", " +
                   std::to_string(pick(2)) + ");";
        } else {
            sql += "INSERT INTO message VALUES (" + id + ", 'g" + id + "', 't" + id + "', " +
                   std::to_string(pick(handles)) + ", " + std::to_string(pick(2)) + ", " + date + ");";
        }
        // Most messages are in one chat, some in two, a few in none.
        const int chat = 1 + pick(chats - 2);  // the last two chats stay empty
        auto join = [&](int c) {
            if (full)
                sql += "INSERT OR IGNORE INTO chat_message_join VALUES (" + std::to_string(c) + ", " + id + ", " +
                       (pick(4) ? date : "0") + ");";
            else
                sql += "INSERT INTO chat_message_join VALUES (" + std::to_string(c) + ", " + id + ");";
        };
        if (pick(15)) join(chat);
        if (pick(8) == 0) join(1 + pick(chats - 2));
    }
    // Join rows of messages that no longer exist.
    sql += "INSERT INTO chat_message_join (chat_id, message_id) VALUES (1, " + std::to_string(messages + 5) + ");";
    if (odd & oddKey) sql += "INSERT INTO chat_message_join (chat_id, message_id) VALUES (2, 'three');";
    if (full) {
        for (int a = 1; a <= messages / 4; ++a) {
            sql += "INSERT INTO attachment (ROWID, guid, filename, total_bytes) VALUES (" + std::to_string(a) + ", 'a" +
                   std::to_string(pick(3) ? a : 1) + "-" + std::to_string(a) + "', 'f" + std::to_string(a) + "', " +
                   std::to_string(a * 10) + ");";
            for (int k = 1 + pick(2); k > 0; --k)
                sql += "INSERT OR IGNORE INTO message_attachment_join VALUES (" + std::to_string(1 + pick(messages + 3)) +
                       ", " + std::to_string(a) + ");";
        }
    }
    return sql + "COMMIT;";
}

TEST(QueryEquivalence, GeneratedHistories) {
    struct Case {
        uint32_t seed;
        int messages;
        bool full;
        int odd;
    };
    for (const Case& c : {Case{1, 40, true, 0}, Case{2, 300, true, 0}, Case{3, 900, true, 0}, Case{4, 120, false, 0},
                          Case{5, 400, true, oddDates | oddKey}, Case{6, 200, false, oddDates | oddKey},
                          Case{7, 400, true, oddTypes}, Case{8, 300, true, oddKey}}) {
        SCOPED_TRACE("seed " + std::to_string(c.seed));
        TempDir dir;
        testing::makeDatabase(dir / "chat.db", randomHistory(c.seed, c.messages, c.full, c.odd));
        expectSameRows(dir / "chat.db");
    }
}

TEST(QueryEquivalence, SampleHistories) {
    for (const auto& options : {SampleHistory::Options{}, SampleHistory::Options{5, 40, 2400}}) {
        TempDir dir;
        auto written = SampleHistory::write(dir.path(), options);
        ASSERT_TRUE(written) << written.error();
        expectSameRows(dir / "Messages" / "chat.db");
    }
}

// A private copy of a real database with its companion files: opening may touch the files beside it.
fs::path realCopy(const fs::path& realdata, const char* name, const TempDir& dir) {
    const fs::path source = realdata / "databases" / name, copy = dir.path() / source.filename();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        if (!fs::exists(source.string() + suffix)) continue;
        fs::copy_file(source.string() + suffix, copy.string() + suffix);
        fs::permissions(copy.string() + suffix, fs::perms::owner_read | fs::perms::owner_write);
    }
    return copy;
}

TEST(QueryEquivalence, RealHistories) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    for (const char* name : {"macos13-chat/chat.db", "macos15-schema/chat.db", "ios13-sms/sms.db"}) {
        TempDir dir;
        expectSameRows(realCopy(realdata, name, dir));
    }
}

// The newest schema has every column the queries name: none is read as NULL.
TEST(RealHistorySchema, TheNewestSchemaHasEveryColumnTheQueriesName) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    TempDir dir;
    auto db = MessagesDatabase::open(realCopy(realdata, "macos15-schema/chat.db", dir).string());
    ASSERT_TRUE(db);
    const std::string query = (*db)->messageQuery("1");
    EXPECT_EQ(query.find("NULL"), std::string::npos) << query;
}

TEST(RealHistorySchema, IOS5HistoriesAreRefusedAsNotUnderstood) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    for (const char* name : {"ios5-sms/sms.db", "ios5-sms-wal/sms.db"}) {
        TempDir dir;
        auto db = MessagesDatabase::open(realCopy(realdata, name, dir).string());
        ASSERT_FALSE(db) << name;
        // The legacy schema keeps its messages without chats.
        EXPECT_EQ(db.error(), MessagesDatabase::Failure::unrecognized("no chat table")) << name;
    }
}

}  // namespace
}  // namespace quillmark
