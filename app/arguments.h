// Arguments: the command line of quillmark. Each option takes the next argument as its value; an option
// given as the last argument is ignored, and so is anything the application does not know.
//
//   quillmark [--messages PATH] [--snapshot-windows FOLDER] [--check-menus FILE]
//   Arguments::parse({"quillmark", "--messages", "/evidence"}).messages == "/evidence"
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace quillmark::app {

struct Arguments {
    std::optional<QString> messages;         // a Messages folder or a chat.db/sms.db file
    std::optional<QString> snapshotWindows;  // render the window snapshots into this folder and quit
    std::optional<QString> checkMenus;       // check the menu bar's shortcuts, write the report there and quit

    static Arguments parse(const QStringList& arguments);
};

}  // namespace quillmark::app
