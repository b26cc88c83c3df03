// show --from/--to: days and date-times read in the time zone the tool is given or the machine's (where days
// end across clock changes is the calendar's own test).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_cli.h"
#include "support/history_fixture.h"

namespace quillmark {
namespace {

using nlohmann::json;
using testing::HistoryFixture;
using Guids = std::vector<std::string>;

// A raw date of the history from seconds since 1970.
int64_t raw(double unixSeconds) { return static_cast<int64_t>((unixSeconds - 978307200.0) * 1e9); }

// Messages around a day with a clock change: New York falls back on 2024-11-03 (a 25-hour day).
const std::string messages = HistoryFixture::message(1, 10, "just before", 1, raw(1730606399.999)) +  // Nov 2, 23:59:59.999
                             HistoryFixture::message(2, 10, "midnight", 1, raw(1730606400)) +         // Nov 3, 00:00
                             HistoryFixture::message(3, 10, "last", 1, raw(1730696399.5)) +           // Nov 3, 23:59:59.5
                             HistoryFixture::message(4, 10, "next day", 1, raw(1730696400));          // Nov 4, 00:00

// The GUIDs shown for the arguments after "show 1", with TZ set to `tz`.
Guids shown(const HistoryFixture& history, std::vector<std::string> args, const std::string& tz = "UTC") {
    args.insert(args.begin(), {"--messages", history.data().string(), "show", "1", "--json"});
    const auto r = testing::runCLI(args, {}, tz);
    EXPECT_EQ(r.status, 0) << r.err;
    Guids guids;
    const json thread = r.status == 0 ? json::parse(r.out) : json::object();
    for (const json& m : thread.value("messages", json::array())) guids.push_back(m["guid"]);
    return guids;
}

TEST(CLIDates, DaysAreTheMachinesOrTheGivenZonesAndDateTimesInclusiveInstants) {
    const HistoryFixture history(messages);
    EXPECT_EQ(shown(history, {"--from", "2024-11-03", "--to", "2024-11-03"}, "America/New_York"), (Guids{"M-2", "M-3"}));
    EXPECT_EQ(shown(history, {"--from", "2024-11-03", "--to", "2024-11-03"}), (Guids{"M-1", "M-2"}));
    EXPECT_EQ(shown(history, {"--from", "2024-11-03T23:59:59.5-05:00"}), (Guids{"M-3", "M-4"}));
    // Without an offset: a wall-clock time in the zone.
    EXPECT_EQ(shown(history, {"--time-zone", "America/New_York", "--from", "2024-11-03T23:59:59.4", "--to",
                              "2024-11-03T23:59:59.6"}),
              (Guids{"M-3"}));
}

}  // namespace
}  // namespace quillmark
