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
// Finding never fails: a place that holds no history is reported when the database is opened there.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillmark {

struct HistoryLocation {
    std::string messagesPath;                          // the database file to open
    std::vector<std::filesystem::path> contactsPaths;  // the address-book databases, in order
    std::optional<std::filesystem::path> dataFolder;   // when the history was named by its data folder

    // find: the location for a named history (absent: the user's own) and address books (empty: the
    // default for that history). A named folder holding chat.db (or an iPhone's sms.db) is read as the
    // Messages folder itself; otherwise as a data folder, whose database is Messages/chat.db even when
    // that does not exist.
    static HistoryLocation find(const std::optional<std::string>& messages,
                                const std::vector<std::string>& contacts);

    // The address book of a data folder, relative to it.
    static constexpr const char* dataFolderContacts = "AddressBook/AddressBook-v22.abcddb";
};

}  // namespace quillmark
