#include "sample_history/address_book.h"

#include "sample_history/random.h"
#include "sample_history/sql_writer.h"

namespace quillmark::sample {

namespace {

// Our own tables after the shape of the Contacts app's store: its entity bookkeeping, and of each entity
// table the columns the reader uses plus a few it must leave alone.
constexpr const char* schema = R"SQL(
CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX INTEGER);
CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);
CREATE TABLE ZABCDRECORD (
  Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZDISPLAYFLAGS INTEGER, ZCONTAINER1 INTEGER,
  ZCREATIONDATE TIMESTAMP, ZMODIFICATIONDATE TIMESTAMP, ZUNIQUEID VARCHAR, ZNAME VARCHAR, ZFIRSTNAME VARCHAR,
  ZMIDDLENAME VARCHAR, ZLASTNAME VARCHAR, ZNICKNAME VARCHAR, ZORGANIZATION VARCHAR, ZJOBTITLE VARCHAR,
  ZSORTINGFIRSTNAME VARCHAR, ZSORTINGLASTNAME VARCHAR, ZIMAGEDATA BLOB, ZTHUMBNAILIMAGEDATA BLOB);
CREATE TABLE ZABCDPHONENUMBER (
  Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZISPRIMARY INTEGER, ZORDERINGINDEX INTEGER,
  ZOWNER INTEGER, Z22_OWNER INTEGER, ZAREACODE VARCHAR, ZCOUNTRYCODE VARCHAR, ZFULLNUMBER VARCHAR,
  ZLABEL VARCHAR, ZLASTFOURDIGITS VARCHAR, ZUNIQUEID VARCHAR);
CREATE TABLE ZABCDEMAILADDRESS (
  Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZISPRIMARY INTEGER, ZORDERINGINDEX INTEGER,
  ZOWNER INTEGER, Z22_OWNER INTEGER, ZADDRESS VARCHAR, ZADDRESSNORMALIZED VARCHAR, ZLABEL VARCHAR,
  ZUNIQUEID VARCHAR);
CREATE INDEX ZABCDPHONENUMBER_ZOWNER_INDEX ON ZABCDPHONENUMBER (ZOWNER);
CREATE INDEX ZABCDEMAILADDRESS_ZOWNER_INDEX ON ZABCDEMAILADDRESS (ZOWNER);
)SQL";

// Entity numbers of the store's model.
constexpr int64_t contactEntity = 22;
constexpr int64_t containerEntity = 23;
constexpr int64_t phoneEntity = 17;
constexpr int64_t emailEntity = 10;

// Creation and modification dates of every record: 2023-09-01, in seconds since 2001.
constexpr int64_t recordDate = 715305600;

std::string lastFourDigits(const std::string& phone) {
    std::string digits;
    for (char c : phone)
        if (c >= '0' && c <= '9') digits += c;
    return digits.size() > 4 ? digits.substr(digits.size() - 4) : digits;
}

std::string lowerASCII(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

tl::expected<void, std::string> AddressBook::write(const std::filesystem::path& path) const {
    auto created = SqlWriter::create(path);
    if (!created) return tl::unexpected(created.error());
    SqlWriter& db = **created;
    for (const char* sql : {"PRAGMA journal_mode = OFF", "PRAGMA synchronous = OFF", schema, "BEGIN"})
        if (auto done = db.exec(sql); !done) return done;

    auto record = db.prepare(
        "INSERT INTO ZABCDRECORD (Z_PK, Z_ENT, Z_OPT, ZDISPLAYFLAGS, ZCONTAINER1, ZCREATIONDATE, ZMODIFICATIONDATE, "
        "ZUNIQUEID, ZNAME, ZFIRSTNAME, ZLASTNAME, ZNICKNAME, ZORGANIZATION, ZSORTINGFIRSTNAME, ZSORTINGLASTNAME, "
        "ZTHUMBNAILIMAGEDATA) VALUES (?1, ?2, 1, ?3, ?4, ?5, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)");
    auto phone = db.prepare(
        "INSERT INTO ZABCDPHONENUMBER (Z_PK, Z_ENT, Z_OPT, ZISPRIMARY, ZORDERINGINDEX, ZOWNER, Z22_OWNER, "
        "ZFULLNUMBER, ZLABEL, ZLASTFOURDIGITS, ZUNIQUEID) VALUES (?1, ?2, 1, ?3, ?4, ?5, ?5, ?6, ?7, ?8, ?9)");
    auto email = db.prepare(
        "INSERT INTO ZABCDEMAILADDRESS (Z_PK, Z_ENT, Z_OPT, ZISPRIMARY, ZORDERINGINDEX, ZOWNER, Z22_OWNER, "
        "ZADDRESS, ZADDRESSNORMALIZED, ZLABEL, ZUNIQUEID) VALUES (?1, ?2, 1, ?3, ?4, ?5, ?5, ?6, ?7, ?8, ?9)");
    for (auto* statement : {&record, &phone, &email})
        if (!*statement) return tl::unexpected(statement->error());

    // The container ("On My Mac") comes first, as in a real book: a record without a name, a phone or an
    // e-mail address, which a reader must pass over.
    (*record)->bind(1, int64_t{1});
    (*record)->bind(2, containerEntity);
    (*record)->bind(3, int64_t{0});
    (*record)->bindNull(4);
    (*record)->bind(5, recordDate);
    (*record)->bind(6, std::string_view("7D1C1E49-5F0B-4F5C-8E7A-3B0F6C2D1A10:ABAccount"));
    (*record)->bind(7, std::string_view("On My Mac"));
    if (auto done = (*record)->run(); !done) return done;

    int64_t nextPhone = 1;
    int64_t nextEmail = 1;
    for (size_t i = 0; i < cards_.size(); ++i) {
        const AddressCard& card = cards_[i];
        const int64_t key = static_cast<int64_t>(i) + 2;
        const std::string uniqueID = uuidFor(0xAB00000000ULL + static_cast<uint64_t>(key)) + ":ABPerson";
        // Kept for the statement: bindings are not copied.
        std::optional<std::vector<uint8_t>> thumbnail;
        if (card.thumbnail) {
            // The store keeps a one-byte header before the encoded image.
            thumbnail = std::vector<uint8_t>{0x01};
            thumbnail->insert(thumbnail->end(), card.thumbnail->begin(), card.thumbnail->end());
        }
        auto optionalText = [](const std::string& text) {
            return text.empty() ? std::nullopt : std::optional<std::string>(text);
        };
        const auto first = optionalText(card.firstName);
        const auto last = optionalText(card.lastName);
        const auto nickname = optionalText(card.nickname);
        const auto organization = optionalText(card.organization);
        SqlStatement& r = **record;
        r.bind(1, key);
        r.bind(2, contactEntity);
        r.bind(3, int64_t{first || last ? 0 : 1});  // 1: show as a company
        r.bind(4, int64_t{1});
        r.bind(5, recordDate);
        r.bind(6, std::string_view(uniqueID));
        r.bindNull(7);
        r.bind(8, first);
        r.bind(9, last);
        r.bind(10, nickname);
        r.bind(11, organization);
        r.bind(12, first ? first : organization);
        r.bind(13, last);
        r.bind(14, thumbnail);
        if (auto done = r.run(); !done) return done;

        for (size_t n = 0; n < card.phones.size(); ++n) {
            const std::string four = lastFourDigits(card.phones[n]);
            const std::string id = uuidFor(0xAB10000000ULL + static_cast<uint64_t>(nextPhone));
            SqlStatement& p = **phone;
            p.bind(1, nextPhone++);
            p.bind(2, phoneEntity);
            p.bind(3, int64_t{n == 0});
            p.bind(4, static_cast<int64_t>(n));
            p.bind(5, key);
            p.bind(6, std::string_view(card.phones[n]));
            p.bind(7, std::string_view(n == 0 ? "_$!<Mobile>!$_" : "_$!<Home>!$_"));
            p.bind(8, std::string_view(four));
            p.bind(9, std::string_view(id));
            if (auto done = p.run(); !done) return done;
        }
        for (size_t n = 0; n < card.emails.size(); ++n) {
            const std::string normalized = lowerASCII(card.emails[n]);
            const std::string id = uuidFor(0xAB20000000ULL + static_cast<uint64_t>(nextEmail));
            SqlStatement& e = **email;
            e.bind(1, nextEmail++);
            e.bind(2, emailEntity);
            e.bind(3, int64_t{n == 0});
            e.bind(4, static_cast<int64_t>(n));
            e.bind(5, key);
            e.bind(6, std::string_view(card.emails[n]));
            e.bind(7, std::string_view(normalized));
            e.bind(8, std::string_view(n == 0 ? "_$!<Home>!$_" : "_$!<Work>!$_"));
            e.bind(9, std::string_view(id));
            if (auto done = e.run(); !done) return done;
        }
    }

    const std::string keys =
        "INSERT INTO Z_PRIMARYKEY VALUES (" + std::to_string(contactEntity) + ", 'ABCDContact', 21, " +
        std::to_string(cards_.size() + 1) + "), (" + std::to_string(containerEntity) + ", 'ABCDContainer', 21, 1), (" +
        std::to_string(phoneEntity) + ", 'ABCDPhoneNumber', 0, " + std::to_string(nextPhone - 1) + "), (" +
        std::to_string(emailEntity) + ", 'ABCDEmailAddress', 0, " + std::to_string(nextEmail - 1) + ");"
        "INSERT INTO Z_METADATA VALUES (1, '4B3F0D8E-2C1A-4E6B-9D7F-0A1B2C3D4E5F', NULL);";
    record->reset();
    phone->reset();
    email->reset();
    if (auto done = db.exec(keys); !done) return done;
    if (auto done = db.exec("COMMIT"); !done) return done;
    return db.close();
}

}  // namespace quillmark::sample
