// Titles: how the conversation list names a conversation, in English (United States), worked out from
// what the generator put in the address book. Internal to the sample generator.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sample_history/sample_history.h"

namespace quillmark::sample {

// A North American number as people write it: "+15559876543" -> "+1 (555) 987-6543"; others unchanged.
std::string formattedAddress(const std::string& address);

// The group's name; else "Unknown", one person's name or address, two or three short names as an
// English list ("Anna, Ben, and Cleo"), or "Anna, Ben and 3 others".
std::string conversationTitle(const std::optional<std::string>& groupName,
                              const std::vector<SampleHistory::Truth::Participant>& participants);

}  // namespace quillmark::sample
