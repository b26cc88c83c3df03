// Settings and history: the global options checked and completed with the machine's defaults, and the
// Messages history they name, opened through the engine.
//
//   auto settings = Settings::make(arguments.global);      // or a usage sentence
//   auto history = openHistory(*settings, std::cerr);      // or the exit status after the sentence
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include <tl/expected.hpp>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "service/history_location.h"
#include "service/history.h"

namespace quillmark::cli {

struct Settings {
    GlobalOptions global;
    std::string timeZone;    // a valid zone identifier
    std::string locale;      // for dates
    std::string textLocale;  // for words and lists of names, such as conversation titles
    std::string meName;      // how the user's own messages are signed: --me, else the account's full name
                             // (empty: "You", as in exports)
    std::string paper;       // "letter" or "a4"; empty when not given (exports choose by region)

    // make: the options checked; a sentence for the first one that is not valid.
    static tl::expected<Settings, std::string> make(const GlobalOptions& global);
};

// openHistory: the history the settings name. On failure the history's own sentences go to `err` and the
// result is the exit status (historyUnavailable). Export and verify start the integrity check at once, so
// that it runs beside the reading of the conversation list.
tl::expected<std::unique_ptr<History>, ExitStatus> openHistory(const Settings& settings, std::ostream& err,
                                                              History::Check check = History::Check::whenAsked);

// historyFailed: reports a failure met while reading an opened history; returns historyUnavailable.
ExitStatus historyFailed(const std::string& sentence, std::ostream& err);

// typedRange: the range typed with --from and --to in the settings' time zone, or a usage sentence; `done`
// says what would happen to the messages ("shown", "exported") when the bounds are the wrong way round.
tl::expected<DateRange, std::string> typedRange(const Arguments& arguments, const Settings& settings,
                                                const std::string& done);

}  // namespace quillmark::cli
