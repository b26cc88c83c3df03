#include "service/app_environment.h"

#include <cstdlib>

#include "core/account.h"
#include "core/calendar.h"

namespace quillmark {

namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

}  // namespace

AppEnvironment AppEnvironment::read(bool developmentBuild) {
    AppEnvironment environment;
    environment.developmentBuild = developmentBuild;
    if (!developmentBuild) return environment;
    environment.dataDir = variable("QUILLMARK_DATA_DIR");
    environment.timeZoneVariable = variable("QUILLMARK_TIME_ZONE");
    environment.meNameVariable = variable("QUILLMARK_ME_NAME");
    return environment;
}

std::optional<std::filesystem::path> AppEnvironment::dataFolder() const {
    if (!developmentBuild || !dataDir || dataDir->empty()) return std::nullopt;
    return std::filesystem::path(*dataDir);
}

HistoryLocation AppEnvironment::location(const std::optional<std::string>& commandLine,
                                         const std::optional<std::string>& remembered) const {
    if (commandLine && !commandLine->empty()) return HistoryLocation::find(commandLine, {});
    if (const auto folder = dataFolder()) {
        HistoryLocation where;
        where.dataFolder = *folder;
        where.messagesPath = (*folder / "Messages" / "chat.db").string();
        where.contactsPaths = {*folder / HistoryLocation::dataFolderContacts};
        return where;
    }
    if (remembered && !remembered->empty()) return HistoryLocation::find(remembered, {});
    return HistoryLocation::find(std::nullopt, {});
}

std::string AppEnvironment::timeZone(const std::string& setting) const {
    if (setting.empty() && developmentBuild && timeZoneVariable)
        if (auto zone = Calendar::timeZone(*timeZoneVariable)) return *zone;
    if (!setting.empty())
        if (auto zone = Calendar::timeZone(setting)) return *zone;
    return Calendar::defaultTimeZone();
}

std::string AppEnvironment::meName(const std::string& setting) const {
    if (!setting.empty()) return setting;
    if (developmentBuild && meNameVariable) return *meNameVariable;
    return accountFullName();
}

}  // namespace quillmark
