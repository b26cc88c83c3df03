// AddressBook: writes an `AddressBook-v22.abcddb` shaped like the one the Contacts app keeps: records with
// names, their phone numbers and e-mail addresses, and the container record every real book has.
//
//   AddressBook book;
//   book.add({.firstName = "Anna", .lastName = "Berg", .phones = {"+1 (555) 123-0001"}});
//   auto done = book.write(folder / "AddressBook-v22.abcddb");
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <tl/expected.hpp>

namespace quillmark::sample {

struct AddressCard {
    std::string firstName;
    std::string lastName;
    std::string organization;
    std::string nickname;
    std::vector<std::string> phones;  // as a person would type them
    std::vector<std::string> emails;
    std::optional<std::vector<uint8_t>> thumbnail;  // an encoded image
};

class AddressBook {
public:
    void add(AddressCard card) { cards_.push_back(std::move(card)); }
    size_t size() const { return cards_.size(); }

    // write: a new database at `path` with every card added, in order; fails when the file exists.
    [[nodiscard]] tl::expected<void, std::string> write(const std::filesystem::path& path) const;

private:
    std::vector<AddressCard> cards_;
};

}  // namespace quillmark::sample
