#include "store/messages_database.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
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
    database->path_ = path;
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

MessagesDatabase::Result<std::vector<ChatRow>> MessagesDatabase::chats() {
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
    {
        const std::string filter =
            messageColumns_.count("associated_message_type")
                ? "AND (m.associated_message_type IS NULL OR m.associated_message_type = 0 OR "
                  "m.associated_message_type NOT BETWEEN 1000 AND 3999)"
                : "";
        const std::string sql =
            "SELECT j.chat_id, count(*), min(m.date), max(m.date) FROM chat_message_join j JOIN message m ON m.ROWID = "
            "j.message_id\nWHERE 1 " +
            filter + " GROUP BY j.chat_id";
        auto statement = db_->prepare(sql);
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
    std::stable_sort(result.begin(), result.end(),
                     [](const ChatRow& a, const ChatRow& b) { return a.lastRaw > b.lastRaw; });
    return result;
}

std::string MessagesDatabase::lastMessageQuery() const {
    const std::string filter =
        messageColumns_.count("associated_message_type")
            ? "AND (m.associated_message_type IS NULL OR m.associated_message_type NOT BETWEEN 1000 AND 3999)"
            : "";
    return "SELECT m.text, " + messageColumn("attributedBody") + ", " + messageColumn("cache_has_attachments") +
           ", m.is_from_me FROM chat_message_join j JOIN message m ON m.ROWID = j.message_id\nWHERE j.chat_id = ? " +
           filter + " AND " + messageColumn("item_type") + " IS NOT 1 ORDER BY m.date DESC LIMIT 1";
}

MessagesDatabase::Result<std::map<int64_t, LastMessage>> MessagesDatabase::last(const std::vector<int64_t>& chatIDs) {
    std::map<int64_t, LastMessage> result;
    if (chatIDs.empty()) return result;
    auto statement = db_->prepare(lastMessageQuery());
    if (!statement) return tl::unexpected(statement.error());
    Statement& st = **statement;
    for (int64_t chatID : chatIDs) {
        auto row = st.run({BindValue{chatID}});
        if (!row) return tl::unexpected(row.error());
        if (!*row) continue;
        result[chatID] = LastMessage{st.string(0), st.data(1), st.int64(2) != 0, st.int64(3) != 0};
    }
    return result;
}

std::string MessagesDatabase::messageQuery(const std::string& condition) const {
    auto x = [&](const char* name) { return messageColumn(name); };
    return "SELECT m.ROWID, m.guid, m.text, " + x("attributedBody") + ", m.handle_id, m.is_from_me, m.date" +
           lineBreak + x("date_read") + ", " + x("date_delivered") + ", " + x("service") + ", " + x("subject") +
           lineBreak + x("associated_message_guid") + ", " + x("associated_message_type") + lineBreak +
           x("associated_message_emoji") + ", " + x("item_type") + ", " + x("group_action_type") + lineBreak +
           x("group_title") + ", " + x("other_handle") + ", " + x("balloon_bundle_id") + lineBreak +
           x("expressive_send_style_id") + ", " + x("thread_originator_guid") + lineBreak + x("date_edited") + ", " +
           x("date_retracted") + ", " + x("message_summary_info") + lineBreak + x("is_audio_message") +
           ", j.chat_id\nFROM chat_message_join j JOIN message m ON m.ROWID = j.message_id\nWHERE " + condition +
           "\nORDER BY m.date, m.ROWID";
}

MessagesDatabase::Result<std::vector<MessageRow>> MessagesDatabase::runMessageQuery(
    const std::string& condition, const std::vector<BindValue>& parameters) {
    auto statement = db_->prepare(messageQuery(condition));
    if (!statement) return tl::unexpected(statement.error());
    Statement& st = **statement;
    st.bindAll(parameters);
    std::vector<MessageRow> result;
    std::unordered_set<int64_t> seen;
    if (auto rows = st.forEachRow([&] {
        const int64_t id = st.int64(0);
        if (!seen.insert(id).second) return;
        MessageRow m;
        m.id = id;
        m.guid = st.string(1).value_or("");
        m.text = st.string(2);
        m.body = st.data(3);
        m.handleID = st.int64(4);
        m.isFromMe = st.int64(5) != 0;
        m.date = st.int64(6);
        m.dateRead = st.int64(7);
        m.dateDelivered = st.int64(8);
        m.service = st.string(9).value_or("");
        m.subject = st.string(10);
        m.associatedGUID = st.string(11);
        m.associatedType = st.int64(12);
        m.associatedEmoji = st.string(13);
        m.itemType = st.int64(14);
        m.groupActionType = st.int64(15);
        m.groupTitle = st.string(16);
        m.otherHandle = st.int64(17);
        m.balloonBundleID = st.string(18);
        m.effectStyle = st.string(19);
        m.threadOriginatorGUID = st.string(20);
        m.dateEdited = st.int64(21);
        m.dateRetracted = st.int64(22);
        m.summaryInfo = st.data(23);
        m.isAudio = st.int64(24) != 0;
        m.chatID = st.int64(25);
        result.push_back(std::move(m));
    }); !rows)
        return tl::unexpected(rows.error());
    return result;
}

MessagesDatabase::Result<std::vector<MessageRow>> MessagesDatabase::messages(const std::vector<int64_t>& chatIDs,
                                                                            std::optional<int64_t> startRaw,
                                                                            std::optional<int64_t> endRaw) {
    if (chatIDs.empty()) return std::vector<MessageRow>{};
    const RangeCondition c = rangeCondition(chatIDs, startRaw, endRaw);
    return runMessageQuery(c.text, c.parameters);
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
        auto rows = runMessageQuery(condition, parameters);
        if (!rows) return tl::unexpected(rows.error());
        result.insert(result.end(), std::make_move_iterator(rows->begin()), std::make_move_iterator(rows->end()));
    }
    return result;
}

std::string MessagesDatabase::attachmentQuery(const std::string& condition) const {
    auto x = [&](const char* name) { return attachmentColumns_.count(name) ? std::string("a.") + name : "NULL"; };
    return "SELECT x.message_id, a.guid, " + x("filename") + ", " + x("mime_type") + lineBreak + x("uti") + ", " +
           x("transfer_name") + ", " + x("total_bytes") + lineBreak + x("is_sticker") + ", " + x("hide_attachment") +
           "\nFROM message_attachment_join x\nJOIN attachment a ON a.ROWID = x.attachment_id\nJOIN chat_message_join j "
           "ON j.message_id = x.message_id\nJOIN message m ON m.ROWID = x.message_id\nWHERE " +
           condition + "\nORDER BY x.message_id, a.ROWID";
}

MessagesDatabase::Result<std::map<int64_t, std::vector<AttachmentRow>>> MessagesDatabase::attachments(
    const std::vector<int64_t>& chatIDs, std::optional<int64_t> startRaw, std::optional<int64_t> endRaw) {
    std::map<int64_t, std::vector<AttachmentRow>> result;
    if (chatIDs.empty() || attachmentColumns_.empty()) return result;
    const RangeCondition c = rangeCondition(chatIDs, startRaw, endRaw);
    auto statement = db_->prepare(attachmentQuery(c.text));
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
