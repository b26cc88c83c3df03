// HistoryLocation: where the Messages database and the address books of one history are.
//
// A history is named by the Messages database file itself (chat.db, or an iPhone's sms.db), by the
// folder that holds it, or by a data folder laid out like a Mac's Library: Messages/chat.db with
// the address book beside it in AddressBook/AddressBook-v22.abcddb. Without a name it is the user's own
// history. The address books are the ones asked for, else the data folder's own, else the user's.
//
//   auto where = HistoryLocation::find("/evidence/Library", {});
//   where.messagesPath   == "/evidence/Library/Messages/chat.db"
//   where.contactsPaths  == {"/evidence/Library/AddressBook/AddressBook-v22.abcddb"}  // when it exists
//   where.dataFolder     == "/evidence/Library"
//
// A folder that is an iPhone backup, or that holds backups (as the folder a backup tool writes into), names
// the history inside the newest of them; the others are listed, for the person to choose another.
//
// Finding never fails: a place that holds no history is reported when the database is opened there.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/iphone_backup.h"

namespace quillmark {

struct HistoryLocation {
    std::string messagesPath;                          // the database file to open
    std::vector<std::filesystem::path> contactsPaths;  // the address-book databases, in order
    std::optional<std::filesystem::path> dataFolder;   // when the history was named by its data folder
    std::optional<IPhoneBackup::Summary> backup;       // the iPhone backup the history is read from
    std::vector<IPhoneBackup::Summary> otherBackups;   // the other backups found beside it, newest first

    // find: the location for a named history (absent: the user's own) and address books (empty: the
    // default for that history; for a backup, its own address book alone, else it goes before them). A named folder holding chat.db (or an iPhone's sms.db) is read as the
    // Messages folder itself; otherwise as a data folder, whose database is Messages/chat.db even when
    // that does not exist.
    static HistoryLocation find(const std::optional<std::string>& messages,
                                const std::vector<std::string>& contacts);

    // The address book of a data folder, relative to it.
    static constexpr const char* dataFolderContacts = "AddressBook/AddressBook-v22.abcddb";
};

}  // namespace quillmark
