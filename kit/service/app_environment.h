// AppEnvironment: what a desktop front-end learns from how it was started: which Messages history to open,
// the time zone of every date it shows and exports, and the owner's name in exports.
//
// A history is named on the command line, else (in a development build) by the data folder of the
// QUILLMARK_DATA_DIR variable, else by the folder the user opened last, else it is the user's own. A
// development build also takes the zone and the owner's name from QUILLMARK_TIME_ZONE and
// QUILLMARK_ME_NAME when the user set none; any other build ignores all three variables, so a released
// program cannot be pointed elsewhere by its environment.
//
//   auto environment = AppEnvironment::read(/*developmentBuild=*/true);   // QUILLMARK_DATA_DIR=/data
//   environment.dataFolder()                     == "/data"
//   environment.location(std::nullopt, "/saved").messagesPath == "/data/Messages/chat.db"
//   environment.timeZone("")                     == "Europe/Berlin"   // QUILLMARK_TIME_ZONE=Europe/Berlin
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "service/history_location.h"

namespace quillmark {

struct AppEnvironment {
    bool developmentBuild = false;
    // The variables as set; an empty variable counts as unset. Read only in a development build.
    std::optional<std::string> dataDir;   // QUILLMARK_DATA_DIR
    std::optional<std::string> timeZoneVariable;  // QUILLMARK_TIME_ZONE
    std::optional<std::string> meNameVariable;    // QUILLMARK_ME_NAME

    // read: the variables of this process; all absent unless it is a development build.
    static AppEnvironment read(bool developmentBuild);

    // dataFolder: the data folder the environment puts in effect (a development build with
    // QUILLMARK_DATA_DIR set), else nothing.
    std::optional<std::filesystem::path> dataFolder() const;

    // location: the history to open. `commandLine` and `remembered` are a folder or a chat.db/sms.db file
    // (see HistoryLocation::find); the data folder of the environment has Messages/chat.db and
    // AddressBook/AddressBook-v22.abcddb inside it.
    HistoryLocation location(const std::optional<std::string>& commandLine,
                             const std::optional<std::string>& remembered) const;

    // timeZone: the zone of every date shown and exported. The user's setting when it is empty: the
    // variable when it names a zone; otherwise the setting when it names one; otherwise the machine's zone.
    std::string timeZone(const std::string& setting) const;

    // meName: how the owner's messages are signed in exports when the setting is empty: the variable,
    // else the full name of this computer's account (which may be empty: exports then say "You").
    std::string meName(const std::string& setting) const;
};

}  // namespace quillmark
