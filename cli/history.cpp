#include "cli/history.h"

#include "core/account.h"
#include "core/calendar.h"
#include "core/locale.h"

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
                       "then name it with --messages PATH: the folder, or the chat.db in it.";
            return "Name the folder that holds chat.db (or Messages/chat.db), or the chat.db or sms.db file itself, "
                   "with --messages PATH.";
        case Kind::noAccess:
            return "Check the permissions of " + failure.path +
                   " and of the folders above it: this user must be able to read the file and open its folder.";
        case Kind::failed: return "(" + failure.path + ")";
        case Kind::damaged: return "Copy the history again from where it came from, then try again.";
    }
    return {};
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

tl::expected<std::unique_ptr<History>, ExitStatus> openHistory(const Settings& settings, std::ostream& err) {
    auto history = History::open(HistoryLocation::find(settings.global.messages, settings.global.contacts));
    if (!history) {
        const History::Failure& failure = history.error();
        err << failure.title() << "\n" << failure.description() << " " << hint(failure, settings) << "\n";
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
