#include "store/messages_database.h"

#include <algorithm>
#include <cerrno>
#include <compare>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <system_error>
#include <thread>
#include <filesystem>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace fs = std::filesystem;

namespace {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

const std::string lineBreak = ",\n       ";

// Threads of at least this many messages are read on two connections at once.
constexpr int64_t splitThreshold = 64;

// The condition and parameters shared by the two range queries.
struct RangeCondition {
    std::string text;
    std::vector<BindValue> parameters;
};

RangeCondition rangeCondition(const std::vector<int64_t>& chatIDs, std::optional<int64_t> startRaw,
                              std::optional<int64_t> endRaw) {
    RangeCondition c;
    c.text = "j.chat_id IN (";
    for (size_t i = 0; i < chatIDs.size(); ++i) {
        if (i) c.text += ",";
        c.text += std::to_string(chatIDs[i]);
    }
    c.text += ")";
    if (startRaw) {
        c.text += " AND m.date >= ?";
        c.parameters.emplace_back(*startRaw);
    }
    if (endRaw) {
        c.text += " AND m.date <= ?";
        c.parameters.emplace_back(*endRaw);
    }
    return c;
}

}  // namespace

std::string MessagesDatabase::Failure::description() const {
    switch (kind) {
        case Kind::unrecognized:
            return "The file isn't a Messages history Quillmark knows: " + reason;
        case Kind::noAccess:
            return "Quillmark isn't allowed to read the Messages history: the system refused access to the file or "
                   "its folder.";
        case Kind::missing:
            return "There is no Messages history at that place.";
    }
    return {};
}

std::string MessagesDatabase::defaultPath() { return (fs::path(homeFolder()) / "Library/Messages/chat.db").string(); }

MessagesDatabase::~MessagesDatabase() = default;

std::string MessagesDatabase::folder() const { return fs::path(path_).parent_path().string(); }

tl::expected<std::unique_ptr<MessagesDatabase>, MessagesDatabase::Failure> MessagesDatabase::open(
    const std::string& path) {
    using Unexpected = tl::unexpected<Failure>;
    // The system says why the file cannot be seen: a folder on the way that this user may not enter is a
    // refusal (the history may well be there), a missing file or folder is a missing history.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == EACCES || errno == EPERM) return Unexpected(Failure::noAccess());
        return Unexpected(Failure::missing());
    }

    std::unique_ptr<MessagesDatabase> database(new MessagesDatabase());
    // Attachment paths are resolved against the database's folder and then looked for beneath the history's
    // folder by absolute path: a relative path here would put every attachment outside it.
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    database->path_ = error ? path : absolute.lexically_normal().string();
    auto opened = SQLiteDatabase::openReadOnly(path);
    if (!opened) {
        const auto& failure = opened.error();
        if (failure.isPermission() || access(path.c_str(), R_OK) != 0) return Unexpected(Failure::noAccess());
        return Unexpected(Failure::unrecognized(failure.description()));
    }
    database->db_ = std::move(*opened);
    SQLiteDatabase& db = *database->db_;

    const std::set<std::string> tables = db.tables().value_or(std::set<std::string>{});
    for (const char* required : {"message", "chat", "handle", "chat_message_join", "chat_handle_join"}) {
        if (!tables.count(required)) return Unexpected(Failure::unrecognized(std::string("no ") + required + " table"));
    }
    database->messageColumns_ = db.columns("message").value_or(std::set<std::string>{});
    database->chatColumns_ = db.columns("chat").value_or(std::set<std::string>{});
    database->handleColumns_ = db.columns("handle").value_or(std::set<std::string>{});
    if (tables.count("attachment"))
        database->attachmentColumns_ = db.columns("attachment").value_or(std::set<std::string>{});
    return database;
}

std::string MessagesDatabase::messageColumn(const char* name) const {
    return messageColumns_.count(name) ? std::string("m.") + name : "NULL";
}

std::optional<std::string> MessagesDatabase::resolve(const std::optional<std::string>& stored) const {
    if (!stored || stored->empty()) return std::nullopt;
    if (phoneHome_) {
        for (const char* home : {"~/", "/var/mobile/", "/private/var/mobile/"}) {
            const std::string prefix(home);
            if (stored->rfind(prefix, 0) == 0) return *phoneHome_ + "/" + stored->substr(prefix.size());
        }
    }
    static const std::string messagesPrefix = "~/Library/Messages/";
    if (stored->rfind(messagesPrefix, 0) == 0) return folder() + "/" + stored->substr(messagesPrefix.size());
    if ((*stored)[0] == '~') return homeFolder() + stored->substr(1);
    return *stored;
}

MessagesDatabase::Result<std::map<int64_t, HandleRow>> MessagesDatabase::handles() {
    const std::string sql =
        std::string("SELECT ROWID, id, ") + (handleColumns_.count("service") ? "service" : "''") + " FROM handle";
    auto statement = db_->prepare(sql);
    if (!statement) return tl::unexpected(statement.error());
    std::map<int64_t, HandleRow> result;
    Statement& st = **statement;
    if (auto rows = st.forEachRow([&] {
        HandleRow handle{st.int64(0), st.string(1).value_or(""), st.string(2).value_or("")};
        result[handle.id] = std::move(handle);
    }); !rows)
        return tl::unexpected(rows.error());
    return result;
}

std::string MessagesDatabase::chatsQuery() const {
    auto x = [&](const char* name) { return chatColumns_.count(name) ? std::string("c.") + name : "NULL"; };
    return "SELECT c.ROWID, c.guid, " + x("chat_identifier") + ", " + x("display_name") + lineBreak + x("group_id") +
           ", " + x("style") + ", " + x("service_name") + "\nFROM chat c";
}

namespace {

// A raw date in SQLite's order when every stored date is an integer or NULL: NULL before every number.
struct DateKey {
    bool present = false;
    int64_t value = 0;
    friend auto operator<=>(const DateKey&, const DateKey&) = default;
};

// What one chat's rows of the message table add up to.
struct ChatTally {
    int64_t count = 0;                // messages that are not reactions
    std::optional<int64_t> first;     // their smallest date (NULL dates left out, as min() does)
    std::optional<int64_t> last;      // their largest date
    std::optional<std::pair<DateKey, int64_t>> latest;  // date and ROWID of the newest message that can be the last
};

}  // namespace

struct MessagesDatabase::ChatScan {
    std::unordered_map<int64_t, ChatTally> chats;
    // False when some message's date is stored as a real, a text or a blob: SQLite orders those otherwise
    // than their integer values, so the tallies above are not used and SQLite sorts instead.
    bool integerDates = true;
};

namespace {

// Reactions (types 1000 to 3999) are not counted as messages and are never the last message.
std::string notReaction(const std::set<std::string>& messageColumns, bool zeroTerm) {
    if (!messageColumns.count("associated_message_type")) return "1";
    return zeroTerm ? "(m.associated_message_type IS NULL OR m.associated_message_type = 0 OR "
                      "m.associated_message_type NOT BETWEEN 1000 AND 3999)"
                    : "(m.associated_message_type IS NULL OR m.associated_message_type NOT BETWEEN 1000 AND 3999)";
}

}  // namespace

namespace {

// Adds one message of a chat to the chat's tally.
void tallyMessage(ChatTally& tally, DateKey date, int64_t messageID, bool counted, bool shown) {
    if (counted) {
        ++tally.count;
        if (date.present) {
            if (!tally.first || date.value < *tally.first) tally.first = date.value;
            if (!tally.last || date.value > *tally.last) tally.last = date.value;
        }
    }
    if (shown) {
        const std::pair<DateKey, int64_t> key{date, messageID};
        if (!tally.latest || key > *tally.latest) tally.latest = key;
    }
}

// Adds what another part of the table found for the same chat.
void mergeTally(ChatTally& into, const ChatTally& other) {
    into.count += other.count;
    if (other.first && (!into.first || *other.first < *into.first)) into.first = other.first;
    if (other.last && (!into.last || *other.last > *into.last)) into.last = other.last;
    if (other.latest && (!into.latest || *other.latest > *into.latest)) into.latest = other.latest;
}

// The tallies of one stretch of the message table, by chat number.
struct Stretch {
    std::vector<ChatTally> tallies;
    bool integerDates = true;
    bool plainTypes = true;  // every type and item type read raw was an integer or NULL
    SQLiteDatabase::Result<void> done;
};

// Whether a message counts and whether it can be the last one, from its raw type and item type when both
// are integers or NULL; nothing otherwise (SQLite compares other values by rules of its own).
std::optional<std::pair<bool, bool>> countedAndShown(const Statement& st, int type, int item) {
    if ((!st.isInteger(type) && !st.isNull(type)) || (!st.isInteger(item) && !st.isNull(item))) return std::nullopt;
    const int64_t t = st.int64(type);
    const bool reaction = !st.isNull(type) && t >= 1000 && t <= 3999;
    const bool membership = !st.isNull(item) && st.int64(item) == 1;
    return std::pair{!reaction, !reaction && !membership};
}

// Tallies the messages whose ROWID lies in [from, to) (unbounded where absent); `joins` holds (message
// ROWID, chat number) sorted by message. Reads the columns ROWID, date and then either whether the message
// counts and can be the last one, or (`raw`) its type and item type.
void tallyStretch(SQLiteDatabase& db, const std::string& select, bool raw, std::optional<int64_t> from,
                  std::optional<int64_t> to, const std::vector<std::pair<int64_t, uint32_t>>& joins, size_t chats,
                  Stretch& stretch) {
    std::string sql = select + " WHERE 1";
    std::vector<BindValue> bounds;
    if (from) {
        sql += " AND m.ROWID >= ?";
        bounds.emplace_back(*from);
    }
    if (to) {
        sql += " AND m.ROWID < ?";
        bounds.emplace_back(*to);
    }
    auto statement = db.prepare(sql);
    if (!statement) {
        stretch.done = tl::unexpected(statement.error());
        return;
    }
    Statement& st = **statement;
    st.bindAll(bounds);
    stretch.tallies.resize(chats);
    auto next = joins.begin();
    if (from) next = std::lower_bound(joins.begin(), joins.end(), std::pair<int64_t, uint32_t>{*from, 0});
    stretch.done = st.forEachRow([&] {
        const int64_t messageID = st.int64(0);
        while (next != joins.end() && next->first < messageID) ++next;
        if (next == joins.end() || next->first != messageID) return;
        if (!st.isInteger(1) && !st.isNull(1)) stretch.integerDates = false;
        const DateKey date{!st.isNull(1), st.int64(1)};
        bool counted = st.int64(2) != 0, shown = st.int64(3) != 0;
        if (raw) {
            const auto flags = countedAndShown(st, 2, 3);
            if (!flags) {
                stretch.plainTypes = false;
                return;
            }
            std::tie(counted, shown) = *flags;
        }
        for (auto join = next; join != joins.end() && join->first == messageID; ++join)
            tallyMessage(stretch.tallies[join->second], date, messageID, counted, shown);
    });
}

}  // namespace

// One pass over the message table in ROWID order, the order in which it lies in the file. The chats of each
// message come from the join table, read whole beforehand and sorted by message: looking them up per
// message costs two index searches each, and joining the other way round (chat first) visits the message
// table once per chat in random order, several times slower again on a large history. The two halves of
// the table are read at once, on this connection and on a second one.
MessagesDatabase::Result<void> MessagesDatabase::scanChats(ChatScan& scan) {
    const std::string counted = notReaction(messageColumns_, true);
    // A group membership change (item type 1) is never the last message either.
    const std::string shown = notReaction(messageColumns_, false) + " AND " + messageColumn("item_type") + " IS NOT 1";

    // The chats are numbered as they come, so that a message finds its chat's tally without a search.
    std::vector<int64_t> chatIDs;
    std::unordered_map<int64_t, uint32_t> numbers;
    auto number = [&](int64_t chatID) {
        auto [it, added] = numbers.try_emplace(chatID, static_cast<uint32_t>(chatIDs.size()));
        if (added) chatIDs.push_back(chatID);
        return it->second;
    };

    // (message ROWID, chat number) of every join row, unless a key is stored as something other than an
    // integer, which SQLite's join compares by its own rules: then SQLite joins.
    std::vector<std::pair<int64_t, uint32_t>> joins;
    bool integerKeys = true;
    {
        auto statement = db_->prepare("SELECT message_id, chat_id FROM chat_message_join");
        if (!statement) return tl::unexpected(statement.error());
        Statement& st = **statement;
        int64_t previousChat = 0;
        uint32_t previousNumber = UINT32_MAX;
        if (auto rows = st.forEachRow([&] {
            if (!st.isInteger(0) || !st.isInteger(1)) integerKeys = false;
            const int64_t chatID = st.int64(1);
            if (previousNumber == UINT32_MAX || chatID != previousChat) previousNumber = number(chatID);
            previousChat = chatID;
            joins.emplace_back(st.int64(0), previousNumber);
        }); !rows)
            return tl::unexpected(rows.error());
    }

    if (!integerKeys) {
        joins = {};
        auto statement = db_->prepare("SELECT j.chat_id, m.ROWID, m.date, " + counted + ", " + shown +
                                      "\nFROM message m CROSS JOIN chat_message_join j ON j.message_id = m.ROWID");
        if (!statement) return tl::unexpected(statement.error());
        Statement& st = **statement;
        return st.forEachRow([&] {
            if (!st.isInteger(2) && !st.isNull(2)) scan.integerDates = false;
            tallyMessage(scan.chats[st.int64(0)], {!st.isNull(2), st.int64(2)}, st.int64(1), st.int64(3) != 0,
                         st.int64(4) != 0);
        });
    }

    if (!std::is_sorted(joins.begin(), joins.end())) std::sort(joins.begin(), joins.end());
    // The type and item type are read as they are, and judged here: SQLite would evaluate the conditions
    // for a million rows. Should one be stored as something other than an integer, SQLite judges them all.
    const std::string rawSelect = "SELECT m.ROWID, m.date, " + messageColumn("associated_message_type") + ", " +
                                  messageColumn("item_type") + "\nFROM message m";
    const std::string judgedSelect = "SELECT m.ROWID, m.date, " + counted + ", " + shown + "\nFROM message m";

    // The middle ROWID; both ends come straight from the table's tree.
    std::optional<int64_t> middle;
    if (!joins.empty()) {
        auto low = db_->scalarInt("SELECT min(ROWID) FROM message");
        auto high = db_->scalarInt("SELECT max(ROWID) FROM message");
        if (low && high && *high > *low) middle = *low + (*high - *low) / 2;
    }
    std::unique_ptr<SQLiteDatabase> second;
    if (middle) {
        if (auto again = db_->reopen()) second = std::move(*again);
    }

    Stretch lower, upper;
    for (const bool raw : {true, false}) {
        const std::string& select = raw ? rawSelect : judgedSelect;
        lower = Stretch{};
        upper = Stretch{};
        if (second) {
            std::thread helper;
            try {
                helper = std::thread(
                    [&] { tallyStretch(*second, select, raw, middle, std::nullopt, joins, chatIDs.size(), upper); });
            } catch (const std::system_error&) {
                second.reset();
            }
            tallyStretch(*db_, select, raw, std::nullopt, second ? middle : std::nullopt, joins, chatIDs.size(), lower);
            if (helper.joinable()) helper.join();
        } else {
            tallyStretch(*db_, select, raw, std::nullopt, std::nullopt, joins, chatIDs.size(), lower);
        }
        if (!lower.done) return lower.done;
        if (second && !upper.done) return upper.done;
        if (lower.plainTypes && (!second || upper.plainTypes)) break;
    }
    scan.integerDates = lower.integerDates && (!second || upper.integerDates);
    for (size_t i = 0; i < chatIDs.size(); ++i) {
        ChatTally& tally = scan.chats[chatIDs[i]];
        tally = lower.tallies[i];
        if (second) mergeTally(tally, upper.tallies[i]);
    }
    return {};
}

MessagesDatabase::Result<std::vector<ChatRow>> MessagesDatabase::listedChats(const ChatScan& scan) {
    std::map<int64_t, ChatRow> byID;
    {
        auto statement = db_->prepare(chatsQuery());
        if (!statement) return tl::unexpected(statement.error());
        Statement& st = **statement;
        if (auto rows = st.forEachRow([&] {
            ChatRow chat;
            chat.id = st.int64(0);
            chat.guid = st.string(1).value_or("");
            chat.identifier = st.string(2).value_or("");
            chat.displayName = st.string(3);
            chat.groupID = st.string(4);
            chat.style = st.int64(5);
            chat.service = st.string(6).value_or("");
            byID[chat.id] = std::move(chat);
        }); !rows)
            return tl::unexpected(rows.error());
    }
    {
        auto statement = db_->prepare("SELECT chat_id, handle_id FROM chat_handle_join ORDER BY chat_id, handle_id");
        if (!statement) return tl::unexpected(statement.error());
        Statement& st = **statement;
        if (auto rows = st.forEachRow([&] {
            auto it = byID.find(st.int64(0));
            if (it != byID.end()) it->second.handleIDs.push_back(st.int64(1));
        }); !rows)
            return tl::unexpected(rows.error());
    }
    if (scan.integerDates) {
        for (const auto& [id, tally] : scan.chats) {
            auto it = byID.find(id);
            if (it == byID.end()) continue;
            it->second.messageCount = tally.count;
            it->second.firstRaw = tally.first.value_or(0);
            it->second.lastRaw = tally.last.value_or(0);
        }
    } else {
        auto statement = db_->prepare("SELECT j.chat_id, count(*), min(m.date), max(m.date)\nFROM message m CROSS "
                                      "JOIN chat_message_join j ON j.message_id = m.ROWID\nWHERE " +
                                      notReaction(messageColumns_, true) + " GROUP BY j.chat_id");
        if (!statement) return tl::unexpected(statement.error());
        Statement& st = **statement;
        if (auto rows = st.forEachRow([&] {
            auto it = byID.find(st.int64(0));
            if (it == byID.end()) return;
            it->second.messageCount = st.int64(1);
            it->second.firstRaw = st.int64(2);
            it->second.lastRaw = st.int64(3);
        }); !rows)
            return tl::unexpected(rows.error());
    }
    std::vector<ChatRow> result;
    result.reserve(byID.size());
    for (auto& [id, chat] : byID)
        if (chat.messageCount > 0) result.push_back(std::move(chat));
    std::sort(result.begin(), result.end(), [](const ChatRow& a, const ChatRow& b) {
        return a.lastRaw != b.lastRaw ? a.lastRaw > b.lastRaw : a.id > b.id;
    });
    return result;
}

MessagesDatabase::Result<std::map<int64_t, LastMessage>> MessagesDatabase::lastMessages(
    const ChatScan& scan, const std::vector<int64_t>& chatIDs) {
    std::map<int64_t, LastMessage> result;
    if (chatIDs.empty()) return result;
    auto fetch = db_->prepare("SELECT m.text, " + messageColumn("attributedBody") + ", " +
                              messageColumn("cache_has_attachments") + ", m.is_from_me FROM message m WHERE m.ROWID = ?");
    if (!fetch) return tl::unexpected(fetch.error());
    std::unique_ptr<Statement> newest;
    if (!scan.integerDates) {
        auto statement = db_->prepare(
            "SELECT m.ROWID FROM chat_message_join j JOIN message m ON m.ROWID = j.message_id\nWHERE j.chat_id = ? AND " +
            notReaction(messageColumns_, false) + " AND " + messageColumn("item_type") +
            " IS NOT 1 ORDER BY m.date DESC, m.ROWID DESC LIMIT 1");
        if (!statement) return tl::unexpected(statement.error());
        newest = std::move(*statement);
    }
    for (int64_t chatID : chatIDs) {
        std::optional<int64_t> messageID;
        if (newest) {
            auto row = newest->run({BindValue{chatID}});
            if (!row) return tl::unexpected(row.error());
            if (*row) messageID = newest->int64(0);
        } else if (const auto tally = scan.chats.find(chatID); tally != scan.chats.end() && tally->second.latest) {
            messageID = tally->second.latest->second;
        }
        if (!messageID) continue;
        Statement& st = **fetch;
        auto row = st.run({BindValue{*messageID}});
        if (!row) return tl::unexpected(row.error());
        if (!*row) continue;
        result[chatID] = LastMessage{st.string(0), st.data(1), st.int64(2) != 0, st.int64(3) != 0};
    }
    return result;
}

MessagesDatabase::Result<std::vector<ChatRow>> MessagesDatabase::chats() {
    ChatScan scan;
    if (auto scanned = scanChats(scan); !scanned) return tl::unexpected(scanned.error());
    return listedChats(scan);
}

MessagesDatabase::Result<std::map<int64_t, LastMessage>> MessagesDatabase::last(const std::vector<int64_t>& chatIDs) {
    if (chatIDs.empty()) return std::map<int64_t, LastMessage>{};
    ChatScan scan;
    if (auto scanned = scanChats(scan); !scanned) return tl::unexpected(scanned.error());
    return lastMessages(scan, chatIDs);
}

MessagesDatabase::Result<MessagesDatabase::ChatList> MessagesDatabase::chatList() {
    ChatScan scan;
    if (auto scanned = scanChats(scan); !scanned) return tl::unexpected(scanned.error());
    ChatList list;
    auto chats = listedChats(scan);
    if (!chats) return tl::unexpected(chats.error());
    list.chats = std::move(*chats);
    std::vector<int64_t> chatIDs;
    chatIDs.reserve(list.chats.size());
    for (const ChatRow& chat : list.chats) chatIDs.push_back(chat.id);
    auto last = lastMessages(scan, chatIDs);
    if (!last) return tl::unexpected(last.error());
    list.last = std::move(*last);
    return list;
}

namespace {

// The columns of a message row: the one list of them, in the order the query selects them, each with how
// its value lands in the row. The columns beyond the first few are optional: older schemas lack some of
// them, and a missing one is selected as NULL and reads as the field's empty value.
struct MessageColumn {
    const char* name;  // in table `message`, or "j.chat_id"
    bool optional;
    void (*read)(const Statement& st, int i, MessageRow& m);
};

constexpr MessageColumn messageRowColumns[] = {
    {"ROWID", false, [](const Statement& st, int i, MessageRow& m) { m.id = st.int64(i); }},
    {"guid", false, [](const Statement& st, int i, MessageRow& m) { m.guid = st.string(i).value_or(""); }},
    {"text", false, [](const Statement& st, int i, MessageRow& m) { m.text = st.string(i); }},
    {"attributedBody", true, [](const Statement& st, int i, MessageRow& m) { m.body = st.data(i); }},
    {"handle_id", false, [](const Statement& st, int i, MessageRow& m) { m.handleID = st.int64(i); }},
    {"is_from_me", false, [](const Statement& st, int i, MessageRow& m) { m.isFromMe = st.int64(i) != 0; }},
    {"date", false, [](const Statement& st, int i, MessageRow& m) { m.date = st.int64(i); }},
    {"date_read", true, [](const Statement& st, int i, MessageRow& m) { m.dateRead = st.int64(i); }},
    {"date_delivered", true, [](const Statement& st, int i, MessageRow& m) { m.dateDelivered = st.int64(i); }},
    {"service", true, [](const Statement& st, int i, MessageRow& m) { m.service = st.string(i).value_or(""); }},
    {"subject", true, [](const Statement& st, int i, MessageRow& m) { m.subject = st.string(i); }},
    {"associated_message_guid", true, [](const Statement& st, int i, MessageRow& m) { m.associatedGUID = st.string(i); }},
    {"associated_message_type", true, [](const Statement& st, int i, MessageRow& m) { m.associatedType = st.int64(i); }},
    {"associated_message_emoji", true, [](const Statement& st, int i, MessageRow& m) { m.associatedEmoji = st.string(i); }},
    {"item_type", true, [](const Statement& st, int i, MessageRow& m) { m.itemType = st.int64(i); }},
    {"group_action_type", true, [](const Statement& st, int i, MessageRow& m) { m.groupActionType = st.int64(i); }},
    {"group_title", true, [](const Statement& st, int i, MessageRow& m) { m.groupTitle = st.string(i); }},
    {"other_handle", true, [](const Statement& st, int i, MessageRow& m) { m.otherHandle = st.int64(i); }},
    {"balloon_bundle_id", true, [](const Statement& st, int i, MessageRow& m) { m.balloonBundleID = st.string(i); }},
    {"expressive_send_style_id", true, [](const Statement& st, int i, MessageRow& m) { m.effectStyle = st.string(i); }},
    {"thread_originator_guid", true,
     [](const Statement& st, int i, MessageRow& m) { m.threadOriginatorGUID = st.string(i); }},
    {"date_edited", true, [](const Statement& st, int i, MessageRow& m) { m.dateEdited = st.int64(i); }},
    {"date_retracted", true, [](const Statement& st, int i, MessageRow& m) { m.dateRetracted = st.int64(i); }},
    {"message_summary_info", true, [](const Statement& st, int i, MessageRow& m) { m.summaryInfo = st.data(i); }},
    {"is_audio_message", true, [](const Statement& st, int i, MessageRow& m) { m.isAudio = st.int64(i) != 0; }},
    {"j.chat_id", false, [](const Statement& st, int i, MessageRow& m) { m.chatID = st.int64(i); }},
};

// The position of the date column, the rows' sort key.
constexpr int dateColumn = 6;

}  // namespace

std::string MessagesDatabase::messageQuery(const std::string& condition) const {
    std::string query = "SELECT ";
    int index = 0;
    for (const MessageColumn& column : messageRowColumns) {
        if (index > 0) query += index % 4 == 0 ? lineBreak : ", ";
        const std::string name = column.name;
        if (name.find('.') != std::string::npos)
            query += name;
        else if (column.optional)
            query += messageColumn(column.name);
        else
            query += "m." + name;
        ++index;
    }
    return query + "\nFROM chat_message_join j JOIN message m ON m.ROWID = j.message_id\nWHERE " + condition;
}

namespace {

// The rows of a message query as they come, with the sort key of each.
struct MessageRows {
    std::vector<MessageRow> rows;
    std::vector<DateKey> dates;
    bool integerDates = true;  // every date stored as an integer or NULL
    SQLiteDatabase::Result<void> done;
};

void readMessageRows(SQLiteDatabase& db, const std::string& sql, const std::vector<BindValue>& parameters,
                     MessageRows& out) {
    auto statement = db.prepare(sql);
    if (!statement) {
        out.done = tl::unexpected(statement.error());
        return;
    }
    Statement& st = **statement;
    st.bindAll(parameters);
    out.done = st.forEachRow([&] {
        if (!st.isInteger(dateColumn) && !st.isNull(dateColumn)) out.integerDates = false;
        out.dates.push_back({!st.isNull(dateColumn), st.int64(dateColumn)});
        MessageRow& m = out.rows.emplace_back();
        int i = 0;
        for (const MessageColumn& column : messageRowColumns) column.read(st, i++, m);
    });
}

}  // namespace

// The rows come in the order the query meets them and are sorted here: SQLite would sort them with every
// column, bodies included, through a temporary table. With `split`, the rows of messages whose ROWID is
// below it are read on this connection while a second one reads the others.
MessagesDatabase::Result<std::vector<MessageRow>> MessagesDatabase::runMessageQuery(
    const std::string& condition, const std::vector<BindValue>& parameters, std::optional<int64_t> split,
    size_t expected) {
    const std::string query = messageQuery(condition);
    MessageRows read;
    read.rows.reserve(split ? expected / 2 + 1 : expected);
    read.dates.reserve(split ? expected / 2 + 1 : expected);
    std::unique_ptr<SQLiteDatabase> second;
    if (split) {
        if (auto again = db_->reopen()) second = std::move(*again);
    }
    MessageRows upper;
    if (second) {
        upper.rows.reserve(expected / 2 + 1);
        upper.dates.reserve(expected / 2 + 1);
        std::vector<BindValue> lowerParameters = parameters, upperParameters = parameters;
        lowerParameters.emplace_back(*split);
        upperParameters.emplace_back(*split);
        std::thread helper;
        try {
            helper = std::thread([&] { readMessageRows(*second, query + " AND j.message_id >= ?", upperParameters, upper); });
        } catch (const std::system_error&) {
            second.reset();
        }
        if (second) {
            readMessageRows(*db_, query + " AND j.message_id < ?", lowerParameters, read);
            helper.join();
            if (!upper.done) return tl::unexpected(upper.done.error());
        }
    }
    if (!second) readMessageRows(*db_, query, parameters, read);
    if (!read.done) return tl::unexpected(read.done.error());

    size_t lowerCount = read.rows.size();
    const size_t count = lowerCount + upper.rows.size();
    auto row = [&](size_t i) -> MessageRow& { return i < lowerCount ? read.rows[i] : upper.rows[i - lowerCount]; };
    auto date = [&](size_t i) -> const DateKey& { return i < lowerCount ? read.dates[i] : upper.dates[i - lowerCount]; };
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = i;
    if (read.integerDates && upper.integerDates) {
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const MessageRow &x = row(a), &y = row(b);
            return std::tie(date(a), x.id, x.chatID) < std::tie(date(b), y.id, y.chatID);
        });
    } else {
        // SQLite orders reals and text by rules of its own: it sorts.
        read = MessageRows{};
        upper = MessageRows{};
        readMessageRows(*db_, query + "\nORDER BY m.date, m.ROWID, j.chat_id", parameters, read);
        if (!read.done) return tl::unexpected(read.done.error());
        lowerCount = read.rows.size();
        order.resize(lowerCount);
        for (size_t i = 0; i < lowerCount; ++i) order[i] = i;
    }
    // Rows read in ROWID order mostly come in date order already; then they stay where they are.
    bool inOrder = true;
    for (size_t i = 0; i < order.size() && inOrder; ++i) inOrder = order[i] == i;
    std::vector<MessageRow> result;
    if (inOrder) {
        result = std::move(read.rows);
        result.reserve(result.size() + upper.rows.size());
        std::move(upper.rows.begin(), upper.rows.end(), std::back_inserter(result));
    } else {
        result.reserve(order.size());
        for (size_t i : order) result.push_back(std::move(row(i)));
    }
    // A message in two of the chats comes once, with the chat of its first row; its rows are neighbours.
    size_t kept = 0;
    for (size_t i = 0; i < result.size(); ++i) {
        if (kept > 0 && result[kept - 1].id == result[i].id) continue;
        if (kept != i) result[kept] = std::move(result[i]);
        ++kept;
    }
    result.resize(kept);
    return result;
}

MessagesDatabase::Result<std::vector<MessageRow>> MessagesDatabase::messages(const std::vector<int64_t>& chatIDs,
                                                                            std::optional<int64_t> startRaw,
                                                                            std::optional<int64_t> endRaw) {
    if (chatIDs.empty()) return std::vector<MessageRow>{};
    const RangeCondition c = rangeCondition(chatIDs, startRaw, endRaw);
    // Large threads are read in two halves at once, split at the middle message.
    std::optional<int64_t> split;
    std::string ids;
    for (int64_t id : chatIDs) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    auto statement = db_->prepare("SELECT count(*), min(message_id), max(message_id) FROM chat_message_join WHERE "
                                  "chat_id IN (" + ids + ")");
    if (!statement) return tl::unexpected(statement.error());
    Statement& st = **statement;
    auto row = st.step();
    if (!row) return tl::unexpected(row.error());
    if (*row && st.int64(0) >= splitThreshold && st.isInteger(1) && st.isInteger(2) && st.int64(2) > st.int64(1))
        split = st.int64(1) + (st.int64(2) - st.int64(1)) / 2;
    return runMessageQuery(c.text, c.parameters, split, *row ? static_cast<size_t>(std::max<int64_t>(st.int64(0), 0)) : 0);
}

MessagesDatabase::Result<std::vector<MessageRow>> MessagesDatabase::messages(const std::vector<std::string>& guids) {
    // SQLite limits the parameters of one statement; 400 stays well below every build's limit.
    constexpr size_t chunkSize = 400;
    std::vector<MessageRow> result;
    for (size_t start = 0; start < guids.size(); start += chunkSize) {
        const size_t end = std::min(guids.size(), start + chunkSize);
        std::string condition = "m.guid IN (";
        std::vector<BindValue> parameters;
        parameters.reserve(end - start);
        for (size_t i = start; i < end; ++i) {
            condition += i == start ? "?" : ",?";
            parameters.emplace_back(guids[i]);
        }
        condition += ")";
        auto rows = runMessageQuery(condition, parameters, std::nullopt, end - start);
        if (!rows) return tl::unexpected(rows.error());
        result.insert(result.end(), std::make_move_iterator(rows->begin()), std::make_move_iterator(rows->end()));
    }
    return result;
}

std::string MessagesDatabase::attachmentQuery(const std::string& condition, bool fromAttachments) const {
    auto x = [&](const char* name) { return attachmentColumns_.count(name) ? std::string("a.") + name : "NULL"; };
    // SQLite starts from the chats' messages, looking up each message and its attachments; when the
    // history holds fewer attachments than the chats hold messages, starting from the attachments reads less.
    const std::string from = fromAttachments ? "\nFROM message_attachment_join x\nCROSS JOIN chat_message_join j ON "
                                               "j.message_id = x.message_id\nCROSS JOIN message m ON m.ROWID = "
                                               "x.message_id\nJOIN attachment a ON a.ROWID = x.attachment_id\nWHERE "
                                             : "\nFROM message_attachment_join x\nJOIN attachment a ON a.ROWID = "
                                               "x.attachment_id\nJOIN chat_message_join j ON j.message_id = "
                                               "x.message_id\nJOIN message m ON m.ROWID = x.message_id\nWHERE ";
    return "SELECT x.message_id, a.guid, " + x("filename") + ", " + x("mime_type") + lineBreak + x("uti") + ", " +
           x("transfer_name") + ", " + x("total_bytes") + lineBreak + x("is_sticker") + ", " + x("hide_attachment") +
           from + condition + "\nORDER BY x.message_id, a.ROWID";
}

MessagesDatabase::Result<std::map<int64_t, std::vector<AttachmentRow>>> MessagesDatabase::attachments(
    const std::vector<int64_t>& chatIDs, std::optional<int64_t> startRaw, std::optional<int64_t> endRaw) {
    std::map<int64_t, std::vector<AttachmentRow>> result;
    if (chatIDs.empty() || attachmentColumns_.empty()) return result;
    const RangeCondition c = rangeCondition(chatIDs, startRaw, endRaw);
    std::string ids;
    for (int64_t id : chatIDs) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    const auto attachmentLinks = db_->scalarInt("SELECT count(*) FROM message_attachment_join");
    const auto messageLinks = db_->scalarInt("SELECT count(*) FROM chat_message_join WHERE chat_id IN (" + ids + ")");
    const bool fromAttachments = attachmentLinks && messageLinks && *attachmentLinks < *messageLinks;
    auto statement = db_->prepare(attachmentQuery(c.text, fromAttachments));
    if (!statement) return tl::unexpected(statement.error());
    Statement& st = **statement;
    st.bindAll(c.parameters);
    std::unordered_set<std::string> seen;
    if (auto rows = st.forEachRow([&] {
        AttachmentRow a;
        a.messageID = st.int64(0);
        a.guid = st.string(1).value_or("");
        if (!seen.insert(std::to_string(a.messageID) + "/" + a.guid).second) return;
        a.filename = st.string(2);
        a.mimeType = st.string(3);
        a.uti = st.string(4);
        a.transferName = st.string(5);
        a.totalBytes = st.int64(6);
        a.isSticker = st.int64(7) != 0;
        a.hidden = st.int64(8) != 0;
        result[a.messageID].push_back(std::move(a));
    }); !rows)
        return tl::unexpected(rows.error());
    return result;
}

}  // namespace quillmark
