// Library: the conversation list of a Messages history, and where a conversation's messages are loaded.
//
// It reads every chat and handle and merges the chats that belong to one person (iMessage and SMS, a
// phone number and an e-mail address the address book ties to one card) or are the same group into one
// `Conversation`, newest first. `thread` loads one conversation's messages in a date range, with the
// context of the messages they reply to, even when those lie outside the range.
//
//   auto library = Library::open(std::move(database), contacts);
//   if (!library) return library.error().description();
//   const Conversation& c = (*library)->conversations().front();
//   auto thread = (*library)->thread(c, DateRange::all);
//
// One thread at a time: the application runs reloads and thread loads on one background queue.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversations/contacts_book.h"
#include "conversations/conversation.h"
#include "conversations/date_range.h"
#include "conversations/message_thread.h"
#include "conversations/participant.h"
#include "store/messages_database.h"

namespace quillmark {

class Library {
public:
    // Names by address, as stored with an export so that a thread can be rebuilt with the names printed.
    using NameMap = std::map<std::string, std::string>;
    template <typename T>
    using Result = SQLiteDatabase::Result<T>;

    // Makes the library and reads the conversation list at once; a database failure fails it.
    [[nodiscard]] static Result<std::unique_ptr<Library>> open(std::unique_ptr<MessagesDatabase> database,
                                                               std::shared_ptr<const ContactsBook> contacts);
    // The same, with the history's files given (those of an iPhone backup) rather than the database's folder.
    [[nodiscard]] static Result<std::unique_ptr<Library>> open(std::unique_ptr<MessagesDatabase> database,
                                                               std::shared_ptr<const ContactsBook> contacts,
                                                               std::shared_ptr<const HistoryFiles> files);

    // Reads the chats and handles again. On failure the conversation list stays as it was.
    [[nodiscard]] Result<void> reload();

    MessagesDatabase& database() { return *database_; }
    const ContactsBook& contacts() const { return *contacts_; }
    // The files of the history: the folder its attachments lie in.
    const std::shared_ptr<const HistoryFiles>& files() const { return files_; }
    const std::vector<Conversation>& conversations() const { return conversations_; }
    const std::map<int64_t, HandleRow>& handles() const { return handles_; }
    const std::map<int64_t, ChatRow>& chatRows() const { return chatRows_; }

    // Where the history came from, when not a Messages folder; every thread carries it.
    void setOrigin(std::optional<HistoryOrigin> origin) { origin_ = std::move(origin); }
    const std::optional<HistoryOrigin>& origin() const { return origin_; }

    // The first conversation, in list order, holding any of the chat GUIDs.
    std::optional<Conversation> conversation(const std::vector<std::string>& chatGUIDs) const;

    // The messages of the conversation within the range. With a name map, participants and senders carry
    // exactly the map's names (the address book is not asked).
    [[nodiscard]] Result<MessageThread> thread(const Conversation& conversation, const DateRange& range,
                                               const std::optional<NameMap>& names = std::nullopt);

    // The participant of a handle, named by the address book, or by the name map when one is given.
    std::optional<Participant> participant(int64_t handleID) const;
    std::optional<Participant> participant(int64_t handleID, const std::optional<NameMap>& names) const;

    // The identity by which chats and participants merge: "card:<id>" for a known card, a lower-cased
    // e-mail address, or the digits of a phone number (the address itself when it has none).
    std::string personKey(const std::string& address) const;

private:
    Library(std::unique_ptr<MessagesDatabase> database, std::shared_ptr<const ContactsBook> contacts,
            std::shared_ptr<const HistoryFiles> files)
        : database_(std::move(database)), contacts_(std::move(contacts)), files_(std::move(files)) {}

    // Gives every attachment the history's files, through which its file is read.
    void attachFiles(std::vector<Message>& messages) const;

    Conversation makeConversation(const std::string& key, const std::vector<const ChatRow*>& rows,
                                  const std::map<int64_t, LastMessage>& last) const;

    std::unique_ptr<MessagesDatabase> database_;
    std::shared_ptr<const ContactsBook> contacts_;
    std::shared_ptr<const HistoryFiles> files_;
    std::optional<HistoryOrigin> origin_;
    std::vector<Conversation> conversations_;
    std::map<int64_t, HandleRow> handles_;
    std::map<int64_t, ChatRow> chatRows_;
};

}  // namespace quillmark
