// Bulk: plain chats written around the showcase when a large history is asked for, for benchmarks.
//
// One conversation holds a tenth of all messages; the others share the rest unevenly, most of them
// one-to-one (iMessage, some SMS, some by e-mail address), a few groups. Seven in ten people are in the
// address book. Message texts are everyday phrases whose archived bodies are made once and reused, and
// about one message in twenty-five gets a tapback. Rows are written in time order, streaming: nothing
// per message is kept but what sorting needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "sample_history/address_book.h"
#include "sample_history/chat_database.h"
#include "sample_history/sample_history.h"

namespace quillmark::sample {

struct BulkShape {
    int64_t conversations = 0;   // conversations to add, one chat each
    int64_t messages = 0;        // messages to add, reactions not counted
    int64_t largest = 0;         // messages of the first, largest conversation
    int64_t firstHandle = 1;     // ROWIDs to continue from
    int64_t firstChat = 1;
    uint64_t seed = 1;
};

// The message counts of the conversations: the first `largest` (all when it is alone), every one at
// least 1, together `messages`.
std::vector<int64_t> shareMessages(const BulkShape& shape);

// Writes the handles, chats and messages, adds the known people to `book`, and appends each
// conversation (without its messages) to `truth`.
[[nodiscard]] tl::expected<void, std::string> writeBulk(const BulkShape& shape, ChatDatabase& db, AddressBook& book,
                                                        SampleHistory::Truth& truth);

}  // namespace quillmark::sample
