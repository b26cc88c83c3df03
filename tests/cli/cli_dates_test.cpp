// show --from/--to: days and date-times read in the time zone the tool is given or the machine's (where days
// end across clock changes is the calendar's own test).
#include <cmath>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_cli.h"
#include "support/temp_dir.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

using nlohmann::json;
using testing::runCLI;

// Seconds since 1970 of a UTC calendar time.
double utc(int y, int m, int d, int hh, int mm, double ss) {
    y -= m <= 2;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (era * 146097.0 + doe - 719468) * 86400 + hh * 3600 + mm * 60 + ss;
}

// Messages just around a day with a clock change: New York falls back on 2024-11-03 (a 25-hour day:
// -04:00 before, -05:00 after).
struct Stamp {
    const char* guid;
    double seconds;
};
const Stamp stamps[] = {
    {"ny-before", utc(2024, 11, 3, 3, 59, 59.999)},   // 23:59:59.999 on Nov 2nd in New York
    {"ny-first", utc(2024, 11, 3, 4, 0, 0)},          // midnight starting Nov 3rd
    {"ny-last", utc(2024, 11, 4, 4, 59, 59.5)},       // 23:59:59.5 on Nov 3rd, 25 hours later
    {"ny-next", utc(2024, 11, 4, 5, 0, 0)},           // midnight starting Nov 4th
};

class CLIDatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string script = std::string(testing::fullSchema) +
                             "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage');"
                             "INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name) VALUES "
                             "(1, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage');"
                             "INSERT INTO chat_handle_join VALUES (1, 1);";
        int id = 0;
        for (const Stamp& s : stamps) {
            const auto raw = std::llround((s.seconds - 978307200.0) * 1e9);
            ++id;
            script += "INSERT INTO message (ROWID, guid, text, handle_id, date, service) VALUES (" + std::to_string(id) +
                      ", '" + s.guid + "', 'text', 1, " + std::to_string(raw) + ", 'iMessage');" +
                      "INSERT INTO chat_message_join (chat_id, message_id) VALUES (1, " + std::to_string(id) + ");";
        }
        testing::makeDatabase(temp_ / "chat.db", script);
    }

    // The GUIDs shown, and the thread's range, for the arguments after "show 1".
    std::pair<std::vector<std::string>, json> show(std::vector<std::string> args, const std::string& tz = "UTC") {
        args.insert(args.begin(), {"--messages", (temp_ / "chat.db").string(), "show", "1", "--json"});
        const auto r = runCLI(args, {}, tz);
        EXPECT_EQ(r.status, 0) << r.err;
        if (r.status != 0) return {};
        const json thread = json::parse(r.out);
        std::vector<std::string> guids;
        for (const json& m : thread["messages"]) guids.push_back(m["guid"]);
        return {guids, thread["range"]};
    }

    testing::TempDir temp_;
};

using Guids = std::vector<std::string>;

TEST_F(CLIDatesTest, TimeZoneDefaultsToTheMachines) {
    EXPECT_EQ(show({"--from", "2024-11-03", "--to", "2024-11-03"}, "America/New_York").first,
              (Guids{"ny-first", "ny-last"}));
    // In UTC the same day holds other messages.
    EXPECT_EQ(show({"--from", "2024-11-03", "--to", "2024-11-03"}, "UTC").first, (Guids{"ny-before", "ny-first"}));
}

TEST_F(CLIDatesTest, DateTimesAreInstantsInclusiveAtBothEnds) {
    EXPECT_EQ(show({"--from", "2024-11-03T23:59:59.5-05:00"}).first, (Guids{"ny-last", "ny-next"}));
    // Without an offset: a wall-clock time in the zone.
    EXPECT_EQ(show({"--time-zone", "America/New_York", "--from", "2024-11-03T23:59:59.4", "--to", "2024-11-03T23:59:59.6"})
                  .first,
              (Guids{"ny-last"}));
}

}  // namespace
}  // namespace quillmark
