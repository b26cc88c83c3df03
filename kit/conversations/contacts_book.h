// ContactsBook: names (and thumbnail pictures) for the handle addresses of the Messages history, taken
// from the user's address book.
//
// The book is filled once, from the address-book databases read directly and read-only, and afterwards
// only read. Filling and reading must not overlap: the book has no lock.
//
//   ContactsBook book;
//   book.load(ContactsBook::defaultDatabaseURLs());
//   book.name("+15551234567")        -> "Anna Berg"  (the card with +1 (555) 123-4567)
//   book.name("5551234567")          -> "Anna Berg"  (through the last nine digits, if no other card ends so)
//   book.name("ANNA@example.com")    -> "Anna Berg"  (e-mail addresses compare without case)
//   book.name("12345")               -> std::nullopt
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmark {

class SQLiteDatabase;

class ContactsBook {
public:
    // Card: one accepted person or company.
    struct Card {
        int64_t id = 0;                                // position in `cards()`
        std::string name;                              // trimmed, never empty
        std::optional<std::vector<uint8_t>> thumbnail;  // the encoded image as stored

        friend bool operator==(const Card&, const Card&) = default;
    };

    ContactsBook() = default;
    // One book is shared by its users; it is never copied.
    ContactsBook(const ContactsBook&) = delete;
    ContactsBook& operator=(const ContactsBook&) = delete;

    // defaultDatabaseURLs: the current user's address-book databases that exist: the main one under
    // $HOME/Library/Application Support/AddressBook, then one inside each entry of its "Sources" folder,
    // in directory-listing order. Empty without $HOME.
    static std::vector<std::filesystem::path> defaultDatabaseURLs();

    // load: reads the databases in order, read-only, and adds their cards. Returns how many of them had a
    // ZABCDRECORD table (a Mac's) or ABPerson and ABMultiValue tables (an iPhone's), or are vCard files
    // (".vcf") with a card. Unreadable or foreign files, missing tables and failing queries are skipped
    // without a word.
    int load(const std::vector<std::filesystem::path>& databases);

    // loadFromContactsFramework: fills the book from the platform's contacts service. Linux has no such
    // service, so this adds nothing and returns false, the answer for a refused or failed fetch.
    bool loadFromContactsFramework();

    // add: adds one card, unless the name trims to nothing or there is neither a phone nor an e-mail.
    // A later card takes over the e-mail addresses and full numbers of earlier ones.
    void add(std::string_view name, const std::vector<std::string>& phones, const std::vector<std::string>& emails,
             std::optional<std::vector<uint8_t>> thumbnail = std::nullopt);

    // card: the card for a handle address. An address with "@" is looked up as an e-mail address,
    // lower-cased but not trimmed. Otherwise by its digits: an exact match of all digits, else, for 9 or
    // more digits, the one card whose number ends in the same nine digits; none when that is ambiguous
    // or the address has fewer than 5 digits.
    std::optional<Card> card(std::string_view address) const;

    // name: the name of `card(address)`.
    std::optional<std::string> name(std::string_view address) const;

    // digits: the ASCII digits 0-9 of the text, in order.  digits("+1 (555) 123-4567") == "15551234567"
    static std::string digits(std::string_view text);

    const std::vector<Card>& cards() const { return cards_; }
    bool isEmpty() const { return cards_.empty(); }

private:
    void loadDatabase(const std::filesystem::path& path, int& recordDatabases);
    void loadPhoneDatabase(SQLiteDatabase& database);
    void loadVCard(const std::filesystem::path& path, int& recordDatabases);

    std::vector<Card> cards_;
    std::unordered_map<std::string, int64_t> byEmail_;           // lower-cased, trimmed address -> card
    std::unordered_map<std::string, int64_t> byPhone_;           // all digits -> card
    std::unordered_map<std::string, std::set<int64_t>> byPhoneTail_;  // last nine digits -> cards
};

}  // namespace quillmark
