#include "support/history_fixture.h"

#include <cstdio>
#include <cstdlib>

#include "service/history.h"
#include "support/test_history.h"

namespace quillmark::testing {

namespace {

const char* const people = R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage'), (2, 'ben@example.com', 'iMessage');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name, display_name) VALUES
  (10, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage', NULL),
  (12, 'iMessage;+;chat-trip', 43, 'chat-trip', 'iMessage', 'Trip');
INSERT INTO chat_handle_join VALUES (10, 1), (12, 1), (12, 2);
)sql";

}  // namespace

HistoryFixture::HistoryFixture(const std::string& extra, bool chatRows) : data_(temp_ / "data") {
    std::filesystem::create_directories(data_ / "Messages" / "Attachments");
    makeDatabase(database(), std::string(fullSchema) + (chatRows ? people : "") + extra);
}

std::unique_ptr<History> HistoryFixture::open() const {
    auto history = History::open(HistoryLocation::find(data_.string(), {"/nonexistent/AddressBook.abcddb"}));
    if (!history) {
        std::fprintf(stderr, "the test history does not open: %s\n", history.error().description().c_str());
        std::abort();
    }
    return std::move(*history);
}

std::string HistoryFixture::message(int64_t id, int64_t chat, const std::string& text, int64_t handle, int64_t date) {
    const std::string raw = std::to_string(date ? date : 700000000000000000 + id * 1000000000);
    return "INSERT INTO message (ROWID, guid, text, handle_id, is_from_me, date, service) VALUES (" +
           std::to_string(id) + ", 'M-" + std::to_string(id) + "', '" + text + "', " + std::to_string(handle) + ", " +
           (handle == 0 ? "1" : "0") + ", " + raw + ", 'iMessage');\n" +
           "INSERT INTO chat_message_join (chat_id, message_id) VALUES (" + std::to_string(chat) + ", " +
           std::to_string(id) + ");\n";
}

}  // namespace quillmark::testing
