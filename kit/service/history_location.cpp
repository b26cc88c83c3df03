#include "service/history_location.h"

#include "conversations/contacts_book.h"
#include "store/messages_database.h"

namespace quillmark {

namespace fs = std::filesystem;

HistoryLocation HistoryLocation::find(const std::optional<std::string>& messages,
                                      const std::vector<std::string>& contacts) {
    HistoryLocation where;
    std::error_code ec;
    if (!messages) {
        where.messagesPath = MessagesDatabase::defaultPath();
    } else if (!fs::is_directory(*messages, ec)) {
        where.messagesPath = *messages;
    } else if (fs::exists(fs::path(*messages) / "chat.db", ec)) {
        where.messagesPath = (fs::path(*messages) / "chat.db").string();
    } else if (fs::exists(fs::path(*messages) / "sms.db", ec)) {
        where.messagesPath = (fs::path(*messages) / "sms.db").string();
    } else if (auto backups = IPhoneBackup::findIn(*messages); !backups.empty()) {
        where.backup = backups.front();
        where.otherBackups.assign(backups.begin() + 1, backups.end());
        where.messagesPath = where.backup->folder.string();
        // The backup's own address book is read when it is opened; the named ones add to it.
        where.contactsPaths.assign(contacts.begin(), contacts.end());
        return where;
    } else {
        where.dataFolder = fs::path(*messages);
        where.messagesPath = (*where.dataFolder / "Messages" / "chat.db").string();
    }

    if (!contacts.empty()) {
        where.contactsPaths.assign(contacts.begin(), contacts.end());
        return where;
    }
    if (where.dataFolder) {
        const fs::path book = *where.dataFolder / dataFolderContacts;
        if (fs::exists(book, ec)) {
            where.contactsPaths = {book};
            return where;
        }
    }
    where.contactsPaths = ContactsBook::defaultDatabaseURLs();
    return where;
}

}  // namespace quillmark
