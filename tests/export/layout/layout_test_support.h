// Helpers for the layout tests: small threads made by hand, the options they are exported with, picture
// files made at test time, and a block list written out as one line per block ("bubble Hello").
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "conversations/message_thread.h"
#include "export/export_options.h"
#include "export/fingerprint.h"
#include "export/layout/block.h"

namespace quillmark::testing {

// 2024-03-05 19:05:09 in New York (EST), the time of the tests' first message.
inline constexpr double march5 = 1709683509;

inline const Participant anna{"+15551234567", "Anna Berg"};
inline const Participant ben{"ben@example.com", "Ben Ode"};

// Options in New York and US English, exported on 2024-04-02 by "Cleo Park".
ExportOptions options(ExportLayout layout, Paper paper = Paper::letter, std::string meName = "Cleo Park");

// A message: from the owner when `sender` is absent, else from the sender; service iMessage.
Message message(int64_t id, double date, std::optional<Participant> sender, std::string text);

// A one-to-one conversation with Anna, or a group with the given people.
Conversation oneToOne();
Conversation group(std::vector<Participant> people, std::optional<std::string> name = std::nullopt);

MessageThread thread(Conversation conversation, std::vector<Message> messages);

// An attachment of the file (available when it exists), with the kind its name implies.
Attachment attachment(std::string guid, const std::filesystem::path& file, int64_t byteCount = 2048);

// A JPEG file of width × height pixels in one colour.
std::filesystem::path writeJPEG(const std::filesystem::path& file, int width, int height);

// One line per block: its kind and its key text, such as "gap 10", "chapter March 2024",
// "note Tue, Mar 5 7:05 PM", "bubble Hello [❤️]", "photo 300×225", "row 7:05:09 PM | Anna Berg | Hello".
std::vector<std::string> describe(const BlockList& blocks);
std::string describe(const BlockRef& block);

// The text of an attributed text with U+202F and U+2009 (which ICU puts into times and ranges) as blanks.
std::string plain(const std::string& text);

}  // namespace quillmark::testing
