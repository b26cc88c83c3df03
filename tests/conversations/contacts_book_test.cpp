#include "conversations/contacts_book.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "store/sqlite_database.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using testing::TempDir;

std::optional<std::string> nameFor(const ContactsBook& book, std::string_view address) { return book.name(address); }

TEST(ContactsBookLookup, PhoneNumbersMatchByAllDigitsThenByTheLastNine) {
    ContactsBook book;
    book.add("Anna Berg", {"+1 (555) 123-4567"}, {});
    EXPECT_EQ(nameFor(book, "+15551234567"), "Anna Berg");
    EXPECT_EQ(nameFor(book, "5551234567"), "Anna Berg");   // tail match
    EXPECT_EQ(nameFor(book, "551234567"), "Anna Berg");    // exactly nine digits
    EXPECT_EQ(nameFor(book, "51234567"), std::nullopt);    // eight digits: exact matches only
}

TEST(ContactsBookLookup, SharedTailIsAmbiguousButExactMatchesStillWork) {
    ContactsBook book;
    book.add("Anna", {"+15551234567"}, {});
    book.add("Ben", {"+445551234567"}, {});
    EXPECT_EQ(nameFor(book, "+15551234567"), "Anna");
    EXPECT_EQ(nameFor(book, "+445551234567"), "Ben");
    EXPECT_EQ(nameFor(book, "5551234567"), std::nullopt);
    // One card with two numbers of the same ending is still one card.
    ContactsBook single;
    single.add("Cleo", {"+15551234567", "005551234567"}, {});
    EXPECT_EQ(nameFor(single, "5551234567"), "Cleo");
}

TEST(ContactsBookLookup, ShortNumbers) {
    ContactsBook book;
    book.add("Bank", {"1234"}, {});         // too short to be a key: the card exists but cannot be found
    book.add("Pizza", {"12345"}, {});
    book.add("Taxi", {"12345678"}, {});
    ASSERT_EQ(book.cards().size(), 3u);
    EXPECT_EQ(nameFor(book, "1234"), std::nullopt);
    EXPECT_EQ(nameFor(book, "12345"), "Pizza");
    EXPECT_EQ(nameFor(book, "012345"), std::nullopt);
    EXPECT_EQ(nameFor(book, "12345678"), "Taxi");
    EXPECT_EQ(nameFor(book, "912345678"), std::nullopt);  // no tail was recorded for eight digits
    EXPECT_EQ(nameFor(book, ""), std::nullopt);
}

TEST(ContactsBookLookup, EmailAddressesIgnoreCaseAndStoredBlanks) {
    ContactsBook book;
    book.add("Anna", {}, {" \tAnna@Example.com\xC2\xA0"});
    book.add("\xC3\x84rzte", {}, {"\xC3\xA4rzte@example.de"});
    EXPECT_EQ(nameFor(book, "anna@example.com"), "Anna");
    EXPECT_EQ(nameFor(book, "ANNA@EXAMPLE.COM"), "Anna");
    EXPECT_EQ(nameFor(book, " anna@example.com"), std::nullopt);  // the handle is not trimmed
    EXPECT_EQ(nameFor(book, "\xC3\x84RZTE@example.de"), "\xC3\x84rzte");
    // An address without "@" is read as a phone number, never as an e-mail.
    EXPECT_EQ(nameFor(book, "anna.example.com"), std::nullopt);
}

TEST(ContactsBookLookup, LaterCardsTakeOverAddresses) {
    ContactsBook book;
    book.add("Old", {"+15551234567"}, {"shared@example.com"});
    book.add("New", {"15551234567"}, {"SHARED@example.com"});
    EXPECT_EQ(nameFor(book, "shared@example.com"), "New");
    EXPECT_EQ(nameFor(book, "+15551234567"), "New");
    EXPECT_EQ(book.cards().size(), 2u);
}

TEST(ContactsBookAdd, RejectsBlankNamesAndCardsWithoutAddresses) {
    ContactsBook book;
    EXPECT_TRUE(book.isEmpty());
    book.add("", {"+15551234567"}, {});
    book.add(" \t\xE3\x80\x80\xC2\xA0", {"+15551234567"}, {});  // spaces, tab, ideographic space, NBSP
    book.add("Nobody", {}, {});
    EXPECT_TRUE(book.isEmpty());

    book.add("\t Anna Berg\xE2\x80\x83", {"+15551234567"}, {}, std::vector<uint8_t>{1, 2, 3});
    book.add("\nBen\n", {}, {"ben@example.com"});  // line breaks are not blanks
    ASSERT_EQ(book.cards().size(), 2u);
    EXPECT_EQ(book.cards()[0], (ContactsBook::Card{0, "Anna Berg", std::vector<uint8_t>{1, 2, 3}}));
    EXPECT_EQ(book.cards()[1].name, "\nBen\n");
    EXPECT_EQ(book.card("+15551234567"), book.cards()[0]);
}

// An address-book database with the tables and columns the book reads, in the shape the real one has.
class AddressBookFile {
public:
    explicit AddressBookFile(std::filesystem::path path) : path_(std::move(path)) {
        std::filesystem::create_directories(path_.parent_path());
        auto db = SQLiteDatabase::openCreating(path_.string());
        EXPECT_TRUE(db.has_value());
        if (db) database_ = std::move(*db);
    }

    const std::filesystem::path& path() const { return path_; }

    void run(const std::string& sql) {
        ASSERT_TRUE(database_);
        auto done = database_->execute(sql);
        ASSERT_TRUE(done.has_value()) << done.error().description();
    }

    void createStandardTables() {
        run("CREATE TABLE ZABCDRECORD (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZFIRSTNAME VARCHAR, "
            "ZLASTNAME VARCHAR, ZNICKNAME VARCHAR, ZORGANIZATION VARCHAR, ZTHUMBNAILIMAGEDATA BLOB);"
            "CREATE TABLE ZABCDPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZFULLNUMBER VARCHAR, ZLABEL VARCHAR);"
            "CREATE TABLE ZABCDEMAILADDRESS (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZADDRESS VARCHAR);");
    }

    void close() { database_.reset(); }

private:
    std::filesystem::path path_;
    std::unique_ptr<SQLiteDatabase> database_;
};

TEST(ContactsBookLoad, ReadsNamesNumbersAddressesAndThumbnails) {
    TempDir dir;
    AddressBookFile file(dir / "AddressBook-v22.abcddb");
    file.createStandardTables();
    file.run(
        "INSERT INTO ZABCDRECORD (Z_PK, ZFIRSTNAME, ZLASTNAME, ZNICKNAME, ZORGANIZATION, ZTHUMBNAILIMAGEDATA) VALUES"
        " (1, 'Anna', 'Berg', 'Annie', 'Acme', X'01FFD8FF'),"  // marker byte before a JPEG start
        " (2, NULL, NULL, NULL, 'Acme Corp', X'010203'),"      // too short to carry a marker
        " (3, 'Cleo', '', NULL, NULL, NULL),"
        " (4, '', 'Dahl', NULL, NULL, X''),"
        " (5, NULL, NULL, 'Evie', NULL, NULL),"
        " (6, '', '', '', '', NULL),"                          // no name at all
        " (7, 'Fred', NULL, NULL, NULL, NULL);"                // no phone, no e-mail
        "INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES"
        " (1, '+1 (555) 123-0001'), (2, '+1 555 123 0002'), (4, '+15551230004'), (6, '+15551230006'),"
        " (7, NULL), (5, '5551230005');"
        "INSERT INTO ZABCDEMAILADDRESS (ZOWNER, ZADDRESS) VALUES (3, 'cleo@example.com'), (1, 'anna@example.com'),"
        " (99, 'orphan@example.com');");
    file.close();

    ContactsBook book;
    EXPECT_EQ(book.load({file.path()}), 1);
    ASSERT_EQ(book.cards().size(), 5u);
    EXPECT_EQ(book.cards()[0], (ContactsBook::Card{0, "Anna Berg", std::vector<uint8_t>{0xFF, 0xD8, 0xFF}}));
    EXPECT_EQ(book.cards()[1], (ContactsBook::Card{1, "Acme Corp", std::vector<uint8_t>{1, 2, 3}}));
    EXPECT_EQ(book.cards()[2], (ContactsBook::Card{2, "Cleo", std::nullopt}));
    EXPECT_EQ(book.cards()[3], (ContactsBook::Card{3, "Dahl", std::vector<uint8_t>{}}));
    EXPECT_EQ(book.cards()[4], (ContactsBook::Card{4, "Evie", std::nullopt}));

    EXPECT_EQ(nameFor(book, "+15551230001"), "Anna Berg");
    EXPECT_EQ(nameFor(book, "anna@example.com"), "Anna Berg");
    EXPECT_EQ(nameFor(book, "+15551230002"), "Acme Corp");
    EXPECT_EQ(nameFor(book, "cleo@example.com"), "Cleo");
    EXPECT_EQ(nameFor(book, "+15551230005"), "Evie");
    EXPECT_EQ(nameFor(book, "+15551230006"), std::nullopt);
    EXPECT_EQ(nameFor(book, "orphan@example.com"), std::nullopt);
}

TEST(ContactsBookLoad, CountsOnlyDatabasesWithRecordsAndKeepsTheirKeysApart) {
    TempDir dir;
    AddressBookFile main(dir / "main.abcddb");
    main.createStandardTables();
    main.run("INSERT INTO ZABCDRECORD (Z_PK, ZFIRSTNAME) VALUES (1, 'Anna');"
             "INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES (1, '+15551230001');");
    main.close();

    // The same primary key in another database is another person.
    AddressBookFile source(dir / "Sources" / "A" / "AddressBook-v22.abcddb");
    source.createStandardTables();
    source.run("INSERT INTO ZABCDRECORD (Z_PK, ZFIRSTNAME) VALUES (1, 'Ben');"
               "INSERT INTO ZABCDEMAILADDRESS (ZOWNER, ZADDRESS) VALUES (1, 'ben@example.com');");
    source.close();

    AddressBookFile noRecords(dir / "other.sqlite");
    noRecords.run("CREATE TABLE ZABCDPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZFULLNUMBER VARCHAR);"
                  "INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES (1, '+15551239999');");
    noRecords.close();

    AddressBookFile recordsOnly(dir / "records-only.abcddb");
    recordsOnly.run("CREATE TABLE ZABCDRECORD (Z_PK INTEGER PRIMARY KEY, ZFIRSTNAME VARCHAR);"
                    "INSERT INTO ZABCDRECORD VALUES (1, 'Lonely');");
    recordsOnly.close();

    const auto foreign = dir.write("foreign.abcddb", "this is not a database, just some text long enough");

    ContactsBook book;
    EXPECT_EQ(book.load({dir / "missing.abcddb", foreign, noRecords.path(), main.path(), recordsOnly.path(),
                         source.path()}),
              3);
    ASSERT_EQ(book.cards().size(), 2u);
    EXPECT_EQ(nameFor(book, "+15551230001"), "Anna");
    EXPECT_EQ(nameFor(book, "ben@example.com"), "Ben");
    EXPECT_EQ(nameFor(book, "+15551239999"), std::nullopt);

    // Loading again adds to what is there.
    EXPECT_EQ(book.load({source.path()}), 1);
    EXPECT_EQ(book.cards().size(), 3u);
    EXPECT_EQ(book.card("ben@example.com")->id, 2);
}

TEST(ContactsBookLoad, OlderSchemasWithoutOptionalColumns) {
    TempDir dir;
    AddressBookFile file(dir / "old.abcddb");
    file.run("CREATE TABLE ZABCDRECORD (Z_PK INTEGER PRIMARY KEY, ZORGANIZATION VARCHAR);"
             "CREATE TABLE ZABCDPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZFULLNUMBER VARCHAR);"
             "CREATE TABLE ZABCDEMAILADDRESS (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER);"  // no ZADDRESS
             "INSERT INTO ZABCDRECORD VALUES (1, 'Old Firm');"
             "INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES (1, '0301234567');");
    file.close();

    ContactsBook book;
    EXPECT_EQ(book.load({file.path()}), 1);
    EXPECT_EQ(nameFor(book, "+49301234567"), "Old Firm");
    ASSERT_EQ(book.cards().size(), 1u);
    EXPECT_EQ(book.cards()[0].thumbnail, std::nullopt);
}

TEST(ContactsBookLoad, LeavesTheDatabaseUntouched) {
    TempDir dir;
    AddressBookFile file(dir / "AddressBook-v22.abcddb");
    file.createStandardTables();
    file.run("PRAGMA journal_mode=WAL;"
             "INSERT INTO ZABCDRECORD (Z_PK, ZFIRSTNAME) VALUES (1, 'Anna');"
             "INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES (1, '+15551230001');");
    file.close();
    const auto before = testing::readFile(file.path());

    ContactsBook book;
    EXPECT_EQ(book.load({file.path()}), 1);
    EXPECT_EQ(testing::readFile(file.path()), before);
    EXPECT_EQ(nameFor(book, "+15551230001"), "Anna");
}

// Points $HOME at a temporary folder for one test.
class HomeFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* home = std::getenv("HOME")) saved_ = home;
        setenv("HOME", home_.path().c_str(), 1);
    }
    void TearDown() override {
        if (saved_) setenv("HOME", saved_->c_str(), 1);
        else unsetenv("HOME");
    }

    std::filesystem::path addressBook() const { return home_ / "Library/Application Support/AddressBook"; }

    TempDir home_;

private:
    std::optional<std::string> saved_;
};

TEST_F(HomeFolder, DefaultDatabasesAreTheMainOneThenEachSource) {
    EXPECT_TRUE(ContactsBook::defaultDatabaseURLs().empty());

    const auto a = home_.write("Library/Application Support/AddressBook/Sources/A/AddressBook-v22.abcddb", "a");
    home_.write("Library/Application Support/AddressBook/Sources/B/Metadata.plist", "b");
    EXPECT_EQ(ContactsBook::defaultDatabaseURLs(), std::vector<std::filesystem::path>{a});

    const auto c = home_.write("Library/Application Support/AddressBook/Sources/C/AddressBook-v22.abcddb", "c");
    const auto main = home_.write("Library/Application Support/AddressBook/AddressBook-v22.abcddb", "m");
    const auto found = ContactsBook::defaultDatabaseURLs();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], main);
    EXPECT_EQ(std::set<std::filesystem::path>(found.begin() + 1, found.end()),
              (std::set<std::filesystem::path>{a, c}));
}

}  // namespace
}  // namespace quillmark
