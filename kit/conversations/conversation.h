// Conversation: one or more chats of the Messages history shown as one conversation, such as every
// chat with one person over iMessage and SMS, or one group chat.
//
//   Conversation c;  c.participants = {{"+15551234567", "Anna Berg"}, {"ben@example.com", "Ben Ode"}};
//   c.title("en_US")       == "Anna and Ben"
//   c.participantsLine()   == "Anna Berg (+1 (555) 123-4567); Ben Ode (ben@example.com)"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "conversations/participant.h"
#include "core/date.h"
#include "core/locale.h"

namespace quillmark {

struct Conversation {
    std::string id;                        // grouping key: "group:" + GUID, "person:" + key, "chat:" + identifier
    std::vector<int64_t> chatIDs;          // ROWIDs of the merged chats, ascending
    std::vector<std::string> chatGUIDs;    // their GUIDs, in the same order
    std::optional<std::string> groupName;  // the first non-empty display name among the chats
    std::vector<Participant> participants; // the other people, each once
    bool isGroup = false;
    int64_t messageCount = 0;              // messages in all its chats, reactions not counted
    std::optional<Date> firstDate;
    std::optional<Date> lastDate;
    std::string lastSnippet;               // one-line preview of the latest message
    std::vector<std::string> services;     // distinct non-empty service names, ascending

    // title: the group name when it is set and not empty; otherwise made from the participants:
    // "Unknown" without any, the one participant's display name, two or three short names (first word of
    // the name, or the formatted address) joined as a list in the locale ("Anna, Ben, and Cleo" in
    // en_US), or for four and more "Anna, Ben and 3 others". `locale` is an ICU locale id.
    std::string title(const std::string& locale = userLocale()) const;

    // participantsLine: every participant as "Name (formatted address)", or the formatted address alone
    // when there is no name, joined by "; ".
    std::string participantsLine() const;

    friend bool operator==(const Conversation&, const Conversation&) = default;
};

}  // namespace quillmark
