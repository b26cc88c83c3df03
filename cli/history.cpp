#include "cli/history.h"

#include <variant>

#include "conversations/contacts_book.h"
#include "core/calendar.h"
#include "core/locale.h"
#include "store/messages_database.h"

namespace quillmark::cli {

namespace {

constexpr const char* cannotRead = "Quillmark can't read the Messages history";

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

void explain(const MessagesDatabase::Failure& failure, const std::string& path, std::ostream& err) {
    using Kind = MessagesDatabase::Failure::Kind;
    switch (failure.kind) {
        case Kind::missing:
            err << "No messages on this computer yet\n"
                << failure.description() << " Quillmark looked for it at " << path
                << ". Name another history with --messages: a chat.db or sms.db file, or a folder holding chat.db "
                   "or Messages/chat.db.\n";
            return;
        case Kind::noAccess:
            err << cannotRead << "\n"
                << failure.description() << " Check the permissions of " << path
                << " and of the folders above it: this user must be able to read the file and open its folder.\n";
            return;
        case Kind::unrecognized:
            err << cannotRead << "\n" << failure.description() << "\n(" << path << ")\n";
            return;
    }
}

}  // namespace

tl::expected<Settings, std::string> Settings::make(const GlobalOptions& global) {
    Settings settings;
    settings.global = global;

    if (global.timeZone) {
        auto zone = Calendar::timeZone(*global.timeZone);
        if (!zone) return tl::unexpected(zone.error());
        settings.timeZone = *zone;
    } else {
        settings.timeZone = Calendar::defaultTimeZone();
    }

    if (global.locale) {
        auto locale = Calendar::locale(*global.locale);
        if (!locale) return tl::unexpected(locale.error());
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
    settings.meName = global.me && !global.me->empty() ? *global.me : "Me";
    return settings;
}

tl::expected<std::unique_ptr<Library>, ExitStatus> openHistory(const Settings& settings, std::ostream& err) {
    const HistoryLocation where = HistoryLocation::find(settings.global.messages, settings.global.contacts);
    auto database = MessagesDatabase::open(where.messagesPath);
    if (!database) {
        std::visit(Overloaded{
                       [&](const MessagesDatabase::Failure& failure) { explain(failure, where.messagesPath, err); },
                       [&](const SQLiteDatabase::Failure& failure) {
                           err << cannotRead << "\n" << failure.description() << "\n";
                       },
                   },
                   database.error());
        return tl::unexpected(historyUnavailable);
    }

    auto contacts = std::make_shared<ContactsBook>();
    contacts->load(where.contactsPaths);
    auto library = Library::open(std::move(*database), std::move(contacts));
    if (!library) {
        err << cannotRead << "\n" << library.error().description() << "\n";
        return tl::unexpected(historyUnavailable);
    }
    return std::move(*library);
}

tl::expected<DateRange, std::string> typedRange(const Arguments& arguments, const Settings& settings,
                                                const std::string& done) {
    DateRange range;
    if (const auto from = arguments.value("from")) {
        auto start = Calendar::parseBound(*from, settings.timeZone, Calendar::Bound::start);
        if (!start) return tl::unexpected("--from: " + start.error());
        range.start = *start;
    }
    if (const auto to = arguments.value("to")) {
        auto end = Calendar::parseBound(*to, settings.timeZone, Calendar::Bound::end);
        if (!end) return tl::unexpected("--to: " + end.error());
        range.end = *end;
    }
    if (range.start && range.end && *range.start > *range.end)
        return tl::unexpected("--from " + *arguments.value("from") + " comes after --to " + *arguments.value("to") +
                              ", so no message could be " + done + ".");
    return range;
}

}  // namespace quillmark::cli
