// HistoryFixture: a small Messages history written on the fly into a temporary data folder, for tests that
// open, export or verify it: DATA/Messages/chat.db with every optional column, DATA/Messages/Attachments, and
// whatever rows the test adds.
//
//   HistoryFixture h(R"sql(INSERT INTO message …)sql");
//   h.data();                    // the data folder, as --messages takes it
//   h.messages() / "chat.db";    // the database
//   auto history = h.open();     // the opened History
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace quillmark {
class History;
}

namespace quillmark::testing {

class HistoryFixture {
public:
    // Two people (Anna +15551230001, Ben ben@example.com), a one-to-one chat with Anna (10) and a group
    // "Trip" (12) with both, and the rows of `extra` on top. `chatRows` false leaves out the chats.
    explicit HistoryFixture(const std::string& extra = {}, bool chatRows = true);

    const std::filesystem::path& data() const { return data_; }
    std::filesystem::path messages() const { return data_ / "Messages"; }
    std::filesystem::path database() const { return data_ / "Messages" / "chat.db"; }
    TempDir& temp() { return temp_; }

    // The history opened as a front-end opens it; aborts the test program when it does not open.
    std::unique_ptr<History> open() const;

    // Rows for a message in a chat: "INSERT INTO message …; INSERT INTO chat_message_join …".
    static std::string message(int64_t id, int64_t chat, const std::string& text, int64_t handle = 1,
                               int64_t date = 0);

private:
    TempDir temp_;
    std::filesystem::path data_;
};

}  // namespace quillmark::testing
