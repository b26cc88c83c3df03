#include "cli/history.h"

#include "core/account.h"
#include "core/calendar.h"
#include "core/locale.h"
#include "cli/password.h"

namespace quillmark::cli {

namespace {

constexpr const char* cannotRead = "Quillmark can't read the Messages history";

// What to do about a history that is not there or not readable, in terms of this tool's options.
std::string hint(const History::Failure& failure, const Settings& settings) {
    using Kind = History::Failure::Kind;
    switch (failure.kind) {
        case Kind::missing:
            if (!settings.global.messages)
                return "Quillmark reads the Messages history that a Mac keeps in Library/Messages in the home folder. "
                       "Copy that folder to this computer (and Library/Application Support/AddressBook for names), "
                       "then name it with --messages PATH: the folder, or the chat.db in it. No Mac? Make an iPhone "
                       "backup on this computer: connect the iPhone and run idevicebackup2 backup --full FOLDER "
                       "(Debian package libimobiledevice-utils), then name that folder with --messages.";
            return "Name the folder that holds chat.db (or Messages/chat.db), an iPhone backup folder, or the chat.db "
                   "or sms.db file itself, with --messages PATH.";
        case Kind::noAccess:
            return "Check the permissions of " + failure.path +
                   " and of the folders above it: this user must be able to read the file and open its folder.";
        case Kind::failed: return "(" + failure.path + ")";
        case Kind::damaged: return "Copy the history again from where it came from, then try again.";
        case Kind::needsPassword:
            return "Give the password with --password-file FILE (\"-\" reads standard input), or run quillmark-cli on "
                   "a terminal to be asked for it.";
        case Kind::wrongPassword: return {};
    }
    return {};
}

// When a folder of backups was named: which one is read, and which others are there.
void reportBackups(const HistoryLocation& where, const Settings& settings, std::ostream& err) {
    if (!where.backup || where.otherBackups.empty()) return;
    const auto format = DateFormat::make("yMMMdjmm", settings.locale, settings.timeZone);
    auto describe = [&](const IPhoneBackup::Summary& backup) {
        std::string text = backup.deviceName;
        if (backup.date && format) text += ", made on " + format->text(*backup.date);
        return text + " (" + backup.folder.string() + ")";
    };
    err << "Reading the newest iPhone backup: " << describe(*where.backup) << ".\nAlso there:";
    for (const auto& other : where.otherBackups) err << "\n  " << describe(other);
    err << "\nName one of them with --messages to read it instead.\n";
}

}  // namespace

tl::expected<Settings, std::string> Settings::make(const GlobalOptions& global) {
    Settings settings;
    settings.global = global;

    if (global.timeZone) {
        auto zone = Calendar::timeZone(*global.timeZone);
        if (!zone) return tl::unexpected(zone.error().description());
        settings.timeZone = *zone;
    } else {
        settings.timeZone = Calendar::defaultTimeZone();
    }

    if (global.locale) {
        auto locale = Calendar::locale(*global.locale);
        if (!locale) return tl::unexpected(locale.error().description());
        settings.locale = *locale;
        settings.textLocale = *locale;
    } else {
        settings.locale = userLocale(LocaleCategory::time);
        settings.textLocale = userLocale(LocaleCategory::messages);
    }

    if (global.paper) {
        if (*global.paper != "letter" && *global.paper != "a4")
            return tl::unexpected("--paper is letter or a4, not \"" + *global.paper + "\".");
        settings.paper = *global.paper;
    }
    settings.meName = global.me ? *global.me : accountFullName();
    return settings;
}

tl::expected<std::unique_ptr<History>, ExitStatus> openHistory(const Settings& settings, std::ostream& err,
                                                              History::Check check) {
    const HistoryLocation where = HistoryLocation::find(settings.global.messages, settings.global.contacts);
    reportBackups(where, settings, err);
    auto history = History::open(where, passwordSource(settings.global, err), check);
    if (!history) {
        const History::Failure& failure = history.error();
        const std::string more = hint(failure, settings);
        err << failure.title() << "\n" << failure.description() << (more.empty() ? "" : " " + more) << "\n";
        return tl::unexpected(historyUnavailable);
    }
    return std::move(*history);
}

ExitStatus historyFailed(const std::string& sentence, std::ostream& err) {
    err << cannotRead << "\n" << sentence << "\n";
    return historyUnavailable;
}

tl::expected<DateRange, std::string> typedRange(const Arguments& arguments, const Settings& settings,
                                                const std::string& done) {
    DateRange range;
    if (const auto from = arguments.value("from")) {
        auto start = Calendar::parseBound(*from, settings.timeZone, Calendar::Bound::start);
        if (!start) return tl::unexpected("--from: " + start.error().description());
        range.start = *start;
    }
    if (const auto to = arguments.value("to")) {
        auto end = Calendar::parseBound(*to, settings.timeZone, Calendar::Bound::end);
        if (!end) return tl::unexpected("--to: " + end.error().description());
        range.end = *end;
    }
    if (range.start && range.end && *range.start > *range.end)
        return tl::unexpected("--from " + *arguments.value("from") + " comes after --to " + *arguments.value("to") +
                              ", so no message could be " + done + ".");
    return range;
}

}  // namespace quillmark::cli
