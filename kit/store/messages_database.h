// MessagesDatabase: the only reader of the Messages history (`chat.db`).
//
// It opens the file read-only, tells apart the three ways a history can be unavailable (missing, refused
// by the operating system, a file it does not understand), learns which optional columns this copy of the
// schema has, and answers six queries. Every query is assembled from fixed pieces with the literal NULL
// standing in for a column the schema lacks, so histories written by older and newer versions of Messages
// read with the same code.
//
//   auto db = MessagesDatabase::open(MessagesDatabase::defaultPath());
//   if (!db) show(db.error().description());       // missing, no access, or "no message table" …
//   auto chats = (*db)->chats();                    // newest first
//   auto rows = (*db)->messages({chats->front().id}, std::nullopt, std::nullopt);
//
// Nothing beside the history is created or changed: a history in write-ahead-log mode is read as immutable
// when it has no log and from a private copy when it has one (see SQLiteDatabase::openReadOnly).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include <tl/expected.hpp>

#include "store/rows.h"
#include "store/sqlite_database.h"

namespace quillmark {

class MessagesDatabase {
public:
    // Why a history cannot be read.
    struct Failure {
        enum class Kind { unrecognized, noAccess, missing };
        Kind kind = Kind::missing;
        std::string reason;  // for unrecognized: why the file is not understood

        static Failure unrecognized(std::string why) { return {Kind::unrecognized, std::move(why)}; }
        static Failure noAccess() { return {Kind::noAccess, {}}; }
        static Failure missing() { return {Kind::missing, {}}; }

        // A sentence for people.
        std::string description() const;

        friend bool operator==(const Failure&, const Failure&) = default;
    };

    template <typename T>
    using Result = SQLiteDatabase::Result<T>;

    // The user's history: $HOME/Library/Messages/chat.db.
    static std::string defaultPath();

    // Opening fails with one of the three cases above; a file SQLite cannot read is `unrecognized` with
    // SQLite's description.
    [[nodiscard]] static tl::expected<std::unique_ptr<MessagesDatabase>, Failure> open(const std::string& path);

    ~MessagesDatabase();
    MessagesDatabase(const MessagesDatabase&) = delete;
    MessagesDatabase& operator=(const MessagesDatabase&) = delete;

    // The chat.db file, and the folder that holds it.
    const std::string& path() const { return path_; }
    std::string folder() const;
    // The connection the queries run on (for a second connection beside it: SQLiteDatabase::reopen).
    const SQLiteDatabase& connection() const { return *db_; }

    const std::set<std::string>& messageColumns() const { return messageColumns_; }
    const std::set<std::string>& chatColumns() const { return chatColumns_; }
    const std::set<std::string>& handleColumns() const { return handleColumns_; }
    const std::set<std::string>& attachmentColumns() const { return attachmentColumns_; }

    // The chats and the latest message of each, as chats() and then last() of every listed chat give them,
    // from one read of the messages.
    struct ChatList {
        std::vector<ChatRow> chats;
        std::map<int64_t, LastMessage> last;
    };

    // Every handle, by ROWID.
    [[nodiscard]] Result<std::map<int64_t, HandleRow>> handles();
    // The chats that hold at least one message, latest message first (of equal ones, the higher ROWID).
    [[nodiscard]] Result<std::vector<ChatRow>> chats();
    // The latest message of each chat (chats without one get no entry); of messages with equal dates, the
    // one with the higher ROWID.
    [[nodiscard]] Result<std::map<int64_t, LastMessage>> last(const std::vector<int64_t>& chatIDs);
    // chats() and last() of all of them together, reading the message table once.
    [[nodiscard]] Result<ChatList> chatList();
    // The messages of the chats whose raw date lies within the inclusive bounds, reactions included,
    // by date then ROWID; a message in two of the chats comes once, with the lower of their chat ROWIDs.
    [[nodiscard]] Result<std::vector<MessageRow>> messages(const std::vector<int64_t>& chatIDs,
                                                          std::optional<int64_t> startRaw,
                                                          std::optional<int64_t> endRaw);
    // The messages with these GUIDs (those in no chat are not found).
    [[nodiscard]] Result<std::vector<MessageRow>> messages(const std::vector<std::string>& guids);
    // The attachments of those messages, by message ROWID, each list in attachment ROWID order.
    [[nodiscard]] Result<std::map<int64_t, std::vector<AttachmentRow>>> attachments(
        const std::vector<int64_t>& chatIDs, std::optional<int64_t> startRaw, std::optional<int64_t> endRaw);

    // The file-system path of a stored attachment path: "~/Library/Messages/…" resolves inside this
    // history's own folder (so a copied data folder resolves into itself), another "~" to the home folder.
    std::optional<std::string> resolve(const std::optional<std::string>& stored) const;
    // setHomeFolder: for a phone's history (read from a backup), the folder that its home stands for:
    // "~/…" and "/var/mobile/…" (also under /private) then resolve below it.
    void setHomeFolder(std::string folder) { phoneHome_ = std::move(folder); }

    // The message columns as the message query selects them (NULL for those this schema lacks), and the
    // query for a condition on `j` (chat_message_join) and `m` (message), rows in no particular order.
    std::string messageQuery(const std::string& condition) const;

private:
    struct ChatScan;

    MessagesDatabase() = default;
    std::string messageColumn(const char* name) const;
    std::string chatsQuery() const;
    std::string attachmentQuery(const std::string& condition, bool fromAttachments) const;
    [[nodiscard]] Result<std::vector<MessageRow>> runMessageQuery(const std::string& condition,
                                                                  const std::vector<BindValue>& parameters,
                                                                  std::optional<int64_t> split, size_t expected);
    [[nodiscard]] Result<void> scanChats(ChatScan& scan);
    [[nodiscard]] Result<std::vector<ChatRow>> listedChats(const ChatScan& scan);
    [[nodiscard]] Result<std::map<int64_t, LastMessage>> lastMessages(const ChatScan& scan,
                                                                     const std::vector<int64_t>& chatIDs);

    std::string path_;
    std::optional<std::string> phoneHome_;
    std::unique_ptr<SQLiteDatabase> db_;
    std::set<std::string> messageColumns_;
    std::set<std::string> chatColumns_;
    std::set<std::string> attachmentColumns_;
    std::set<std::string> handleColumns_;
};

}  // namespace quillmark
