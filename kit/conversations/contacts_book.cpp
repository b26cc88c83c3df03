#include "conversations/contacts_book.h"

#include <cstdlib>
#include <system_error>
#include <utility>

#include "conversations/unicode_text.h"
#include "conversations/vcard.h"
#include "core/readable_file.h"
#include "core/text.h"
#include "store/sqlite_database.h"

namespace quillmark {

namespace {

namespace fs = std::filesystem;

constexpr const char* databaseName = "AddressBook-v22.abcddb";
constexpr size_t minimumPhoneDigits = 5;
constexpr size_t phoneTailDigits = 9;

// Some address-book versions put a one-byte marker 0x01 in front of the image data of a thumbnail.
constexpr uint8_t thumbnailMarker = 0x01;
constexpr size_t minimumMarkedThumbnail = 4;

using OwnerValues = std::unordered_map<int64_t, std::vector<std::string>>;

// Column 1 of every row, grouped by the owner key in column 0, in row order. A query that cannot be
// prepared or stepped ends early with what it has read.
OwnerValues valuesByOwner(SQLiteDatabase& database, const std::string& sql) {
    OwnerValues values;
    auto statement = database.prepare(sql);
    if (!statement) return values;
    Statement& st = **statement;
    while (true) {
        auto row = st.step();
        if (!row || !*row) break;
        if (st.isNull(1)) continue;
        values[st.int64(0)].push_back(st.string(1).value_or(""));
    }
    return values;
}

const std::vector<std::string>& valuesOf(const OwnerValues& values, int64_t owner) {
    static const std::vector<std::string> none;
    const auto it = values.find(owner);
    return it == values.end() ? none : it->second;
}

// The record columns the book reads, in query order. Older address books lack some of them.
constexpr const char* recordColumns[] = {"ZFIRSTNAME", "ZLASTNAME", "ZORGANIZATION", "ZNICKNAME", "ZTHUMBNAILIMAGEDATA"};

std::string recordQuery(const std::set<std::string>& columns) {
    std::string sql = "SELECT Z_PK";
    for (const char* column : recordColumns) {
        sql += ", ";
        sql += columns.contains(column) ? column : "NULL";
    }
    sql += "\nFROM ZABCDRECORD";
    return sql;
}

// First and last name when either is set, else the organization, else the nickname.
std::string recordName(const Statement& row) {
    const std::string first = row.string(1).value_or("");
    const std::string last = row.string(2).value_or("");
    std::string name = first;
    if (!last.empty()) name += name.empty() ? last : " " + last;
    if (name.empty()) name = row.string(3).value_or("");
    if (name.empty()) name = row.string(4).value_or("");
    return name;
}

std::optional<std::vector<uint8_t>> recordThumbnail(const Statement& row) {
    auto data = row.data(5);
    if (data && data->size() >= minimumMarkedThumbnail && data->front() == thumbnailMarker) data->erase(data->begin());
    return data;
}

// addPeople: a card for each row of people (key, first, last, organisation, nickname, thumbnail) that has a
// number or an e-mail address; a database that stops answering keeps the cards read until then.
void addPeople(ContactsBook& book, Statement& row, const OwnerValues& phones, const OwnerValues& emails) {
    (void)row.forEachRow([&] {
        const int64_t key = row.int64(0);
        const auto& keyPhones = valuesOf(phones, key);
        const auto& keyEmails = valuesOf(emails, key);
        if (!keyPhones.empty() || !keyEmails.empty()) book.add(recordName(row), keyPhones, keyEmails, recordThumbnail(row));
    });
}

}  // namespace

std::vector<fs::path> ContactsBook::defaultDatabaseURLs() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    const fs::path base = fs::path(home) / "Library" / "Application Support" / "AddressBook";

    std::vector<fs::path> candidates{base / databaseName};
    std::vector<fs::path> sources;
    std::error_code ec;
    for (fs::directory_iterator it(base / "Sources", ec), end; !ec && it != end; it.increment(ec))
        sources.push_back(it->path() / databaseName);
    // A listing that fails part way is not trusted either: such a folder contributes nothing.
    if (!ec) candidates.insert(candidates.end(), sources.begin(), sources.end());

    std::vector<fs::path> existing;
    for (const auto& candidate : candidates) {
        std::error_code existsError;
        if (fs::exists(candidate, existsError)) existing.push_back(candidate);
    }
    return existing;
}

int ContactsBook::load(const std::vector<fs::path>& databases) {
    int recordDatabases = 0;
    for (const auto& path : databases) loadDatabase(path, recordDatabases);
    return recordDatabases;
}

void ContactsBook::loadDatabase(const fs::path& path, int& recordDatabases) {
    if (text::asciiLower(path.extension().string()) == ".vcf") {
        loadVCard(path, recordDatabases);
        return;
    }
    auto opened = SQLiteDatabase::openReadOnly(path.string());
    if (!opened) return;
    SQLiteDatabase& database = **opened;
    const auto tables = database.tables();
    if (tables && tables->contains("ABPerson") && tables->contains("ABMultiValue")) {
        ++recordDatabases;
        loadPhoneDatabase(database);
        return;
    }
    if (!tables || !tables->contains("ZABCDRECORD")) return;
    ++recordDatabases;

    const auto columns = database.columns("ZABCDRECORD");
    const OwnerValues phones = tables->contains("ZABCDPHONENUMBER")
                                   ? valuesByOwner(database, "SELECT ZOWNER, ZFULLNUMBER FROM ZABCDPHONENUMBER")
                                   : OwnerValues{};
    const OwnerValues emails = tables->contains("ZABCDEMAILADDRESS")
                                   ? valuesByOwner(database, "SELECT ZOWNER, ZADDRESS FROM ZABCDEMAILADDRESS")
                                   : OwnerValues{};

    auto statement = database.prepare(recordQuery(columns ? *columns : std::set<std::string>{}));
    if (!statement) return;
    addPeople(*this, **statement, phones, emails);
}

// A vCard file, as address books export them: read as a regular file of limited size, never waited on.
void ContactsBook::loadVCard(const fs::path& path, int& recordDatabases) {
    constexpr int64_t limit = int64_t{256} << 20;
    auto file = ReadableFile::open(path.string());
    if (!file) return;
    auto text = file->readAll(limit);
    if (!text) return;
    const auto cards = VCard::parse(*text);
    if (cards.empty()) return;
    ++recordDatabases;
    for (const VCard::Card& card : cards) add(card.name, card.phones, card.emails);
}

// An iPhone's address book: people in ABPerson, their numbers (property 3) and e-mail addresses (4) in
// ABMultiValue. Names follow the same rule as the Mac's cards.
void ContactsBook::loadPhoneDatabase(SQLiteDatabase& database) {
    const OwnerValues phones = valuesByOwner(database, "SELECT record_id, value FROM ABMultiValue WHERE property = 3");
    const OwnerValues emails = valuesByOwner(database, "SELECT record_id, value FROM ABMultiValue WHERE property = 4");
    auto statement = database.prepare("SELECT ROWID, First, Last, Organization, Nickname, NULL FROM ABPerson");
    if (!statement) return;
    addPeople(*this, **statement, phones, emails);
}

bool ContactsBook::loadFromContactsFramework() {
    // Linux has no system contacts service to ask; the address-book databases are the only source.
    return false;
}

void ContactsBook::add(std::string_view name, const std::vector<std::string>& phones,
                       const std::vector<std::string>& emails, std::optional<std::vector<uint8_t>> thumbnail) {
    std::string trimmedName = unicode::trimmedBlanks(name);
    if (trimmedName.empty()) return;
    if (phones.empty() && emails.empty()) return;

    const auto id = static_cast<int64_t>(cards_.size());
    cards_.push_back(Card{id, std::move(trimmedName), std::move(thumbnail)});

    for (const auto& email : emails) byEmail_[unicode::trimmedBlanks(unicode::lowerCased(email))] = id;
    for (const auto& phone : phones) {
        std::string d = digits(phone);
        if (d.size() < minimumPhoneDigits) continue;
        if (d.size() >= phoneTailDigits) byPhoneTail_[d.substr(d.size() - phoneTailDigits)].insert(id);
        byPhone_[std::move(d)] = id;
    }
}

std::optional<ContactsBook::Card> ContactsBook::card(std::string_view address) const {
    if (address.find('@') != std::string_view::npos) {
        const auto it = byEmail_.find(unicode::lowerCased(address));
        if (it == byEmail_.end()) return std::nullopt;
        return cards_[static_cast<size_t>(it->second)];
    }

    const std::string d = digits(address);
    if (d.size() < minimumPhoneDigits) return std::nullopt;
    if (const auto exact = byPhone_.find(d); exact != byPhone_.end()) return cards_[static_cast<size_t>(exact->second)];
    if (d.size() < phoneTailDigits) return std::nullopt;
    const auto tail = byPhoneTail_.find(d.substr(d.size() - phoneTailDigits));
    // Two cards with numbers ending alike cannot be told apart by the ending alone.
    if (tail == byPhoneTail_.end() || tail->second.size() != 1) return std::nullopt;
    return cards_[static_cast<size_t>(*tail->second.begin())];
}

std::optional<std::string> ContactsBook::name(std::string_view address) const {
    auto found = card(address);
    if (!found) return std::nullopt;
    return std::move(found->name);
}

std::string ContactsBook::digits(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c >= '0' && c <= '9') out.push_back(c);
    return out;
}

}  // namespace quillmark
