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
#include <map>
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
    // "Trip" (12) with both, and the rows of `extra` on top. `chatRows` false leaves out the chats; a
    // `pageSize` writes the database on pages of that size.
    explicit HistoryFixture(const std::string& extra = {}, bool chatRows = true, int pageSize = 0);

    const std::filesystem::path& data() const { return data_; }
    std::filesystem::path messages() const { return data_ / "Messages"; }
    std::filesystem::path database() const { return data_ / "Messages" / "chat.db"; }
    TempDir& temp() { return temp_; }

    // The history opened as a front-end opens it; aborts the test program when it does not open.
    std::unique_ptr<History> open() const;

    // Rows for a message in a chat: "INSERT INTO message …; INSERT INTO chat_message_join …".
    static std::string message(int64_t id, int64_t chat, const std::string& text, int64_t handle = 1,
                               int64_t date = 0);

    // Rows for 600 messages from Anna, two of three in chat 10 and the rest in 12: on 1 KiB pages every table
    // of them spans many leaf pages, for tests that damage one.
    static std::string manyMessages();

    // Writes leaf page `from` of a table over leaf `onto`, as a bad copy or a failing disk does: every page
    // still reads as a page of the table, only SQLite's integrity check finds the damage. False when the
    // table has too few leaves.
    bool copyLeafPage(const std::string& table, size_t from, size_t onto) const;
    // Fills a leaf of the table after its header with garbage, which SQLite finds while reading.
    bool scribbleOverLeaf(const std::string& table, size_t leaf) const;

private:
    TempDir temp_;
    std::filesystem::path data_;
};

// Every entry below a folder with its size, modification time and digest (links not followed), to show
// that nothing in it changed.
std::map<std::string, std::string> folderState(const std::filesystem::path& folder);

// The text of a PDF's first page, as pdftotext reads it.
std::string pdfFirstPageText(const std::filesystem::path& pdf);

}  // namespace quillmark::testing
