// VCard: the people of a vCard file (versions 3 and 4, as address books export them), for the contacts book.
//
// A file holds cards from BEGIN:VCARD to END:VCARD; a line that starts with a space or a tab continues the
// one before. Of each card this reads the name (N, else FN, ORG, NICKNAME), the numbers (TEL, also as a
// "tel:" address) and the e-mail addresses (EMAIL), with their backslash escapes undone. Anything else,
// and any line it does not understand, is passed over.
//
//   auto cards = VCard::parse("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Berg;Anna;;;\r\nTEL;TYPE=CELL:+1 555 123 4567\r\n"
//                             "END:VCARD\r\n");
//   cards[0].name == "Anna Berg";  cards[0].phones == {"+1 555 123 4567"}
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::VCard {

struct Card {
    std::string name;  // may be empty: the contacts book skips such a card
    std::vector<std::string> phones;
    std::vector<std::string> emails;
};

std::vector<Card> parse(std::string_view text);

}  // namespace quillmark::VCard
