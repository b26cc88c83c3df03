// Participant: one other person in a conversation, known by a handle address and perhaps by a name.
//
// `format` is the one way an address is ever shown, so every exporter and view agrees on it; the name
// comes from the address book or from a name map supplied with an export.
//
//   Participant::format("+15551234567")                 == "+1 (555) 123-4567"
//   Participant{"+15551234567", "Anna Berg"}.initials()  == "AB"
//   Participant{"anna@example.com"}.displayName()        == "anna@example.com"
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

struct Participant {
    std::string address;              // phone number or e-mail address as stored in the history
    std::optional<std::string> name;  // from the address book or an export's name map

    // format: North American numbers written "+1" with 11 numeric characters become
    // "+1 (AAA) BBB-CCCC"; every other address (e-mail, other countries) comes back unchanged. Numeric
    // characters are user-perceived characters whose first code point is a number in any script, so the
    // separators in "+1 555-123 4567" do not count.
    static std::string format(std::string_view address);

    // displayName: the name when present (even when empty), otherwise the formatted address.
    std::string displayName() const;

    // initials: the upper-cased first characters of the first two words of the name that begin with a
    // letter; words are separated by spaces and hyphens. Empty without a name or without such a word.
    //   "anna-lena berg" -> "AL", "Dr. Ann Lee" -> "DA", "42 Ann" -> "A", "123" -> ""
    std::string initials() const;

    friend bool operator==(const Participant&, const Participant&) = default;
};

}  // namespace quillmark
