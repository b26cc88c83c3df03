#include "store/sqlite_database.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

using testing::TempDir;

TEST(SQLiteFailure, PermissionIsReadFromTheCodeOrTheSystemsWords) {
    EXPECT_TRUE(SQLiteDatabase::Failure::open("p", 3, "x").isPermission());
    EXPECT_TRUE(SQLiteDatabase::Failure::open("p", 23, "x").isPermission());
    EXPECT_TRUE(SQLiteDatabase::Failure::open("p", 14, "unable to open (Operation Not Permitted)").isPermission());
    EXPECT_TRUE(SQLiteDatabase::Failure::open("p", 14, "not AUTHORIZED").isPermission());
    EXPECT_FALSE(SQLiteDatabase::Failure::open("p", 14, "unable to open database file").isPermission());
    EXPECT_FALSE(SQLiteDatabase::Failure::prepare("not permitted").isPermission());
    EXPECT_FALSE(SQLiteDatabase::Failure::step("not authorized").isPermission());
}

TEST(SQLiteOpen, MissingFileIsNeverCreated) {
    TempDir dir;
    const auto path = dir / "absent.db";
    auto db = SQLiteDatabase::openReadOnly(path.string());
    ASSERT_FALSE(db);
    ASSERT_TRUE(db.error().asOpen());
    EXPECT_EQ(db.error().asOpen()->code, 14);  // SQLITE_CANTOPEN
    EXPECT_FALSE(db.error().isPermission());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SQLiteOpen, ForeignFileFailsAtTheProbe) {
    TempDir dir;
    const auto path = dir.write("chat.db", "this is plain text, and long enough to fill a header of a database file");
    auto db = SQLiteDatabase::openReadOnly(path.string());
    ASSERT_FALSE(db);
    ASSERT_TRUE(db.error().asOpen());
    EXPECT_EQ(db.error().asOpen()->code, 26);
    EXPECT_EQ(db.error().asOpen()->message, "file is not a database");
    EXPECT_EQ(db.error().description().rfind("can't open " + path.string() + ": ", 0), 0u);
}

TEST(SQLiteOpen, RefusedFileIsAPermissionFailure) {
    TempDir dir;
    const auto path = dir / "chat.db";
    testing::makeDatabase(path, "CREATE TABLE t (x);");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    auto result = testing::runUnprivileged([&] {
        auto db = SQLiteDatabase::openReadOnly(path.string());
        if (db) return std::string("opened");
        return std::string(db.error().isPermission() ? "permission: " : "other: ") + db.error().description();
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->rfind("permission: ", 0), 0u) << *result;
    EXPECT_NE(result->find(" (operation not permitted) ("), std::string::npos) << *result;
}

TEST(SQLiteOpen, PathsWithURISyntaxAreFileNames) {
    TempDir dir;
    for (const char* name : {"with space.db", "hash#tag.db", "what?mode=rw.db", "100%.db"}) {
        const auto path = dir / name;
        testing::makeDatabase(path, "CREATE TABLE t (x); INSERT INTO t VALUES (42);");
        auto db = SQLiteDatabase::openReadOnly(path.string());
        ASSERT_TRUE(db) << name << ": " << db.error().description();
        EXPECT_EQ((*db)->path(), path.string());
        EXPECT_EQ((*db)->scalarInt("SELECT x FROM t").value(), 42);
        // Read-only for real: the "?mode=rw" in the name must not have become a parameter.
        EXPECT_FALSE((*db)->execute("INSERT INTO t VALUES (1)"));
    }
}

class SQLiteStatements : public ::testing::Test {
protected:
    void SetUp() override {
        testing::makeDatabase(dir / "t.db",
                              "CREATE TABLE t (id INTEGER, b BLOB, s TEXT);"
                              "INSERT INTO t VALUES (1, NULL, NULL), (2, x'', ''), (3, x'00ff', 'h\xC3\xA9');");
        auto opened = SQLiteDatabase::openReadOnly((dir / "t.db").string());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
    }
    TempDir dir;
    std::unique_ptr<SQLiteDatabase> db;
};

TEST_F(SQLiteStatements, NullIsAbsentAndEmptyIsPresent) {
    auto st = db->prepare("SELECT b, s FROM t ORDER BY id");
    ASSERT_TRUE(st);
    Statement& s = **st;
    ASSERT_TRUE(s.step().value());
    EXPECT_FALSE(s.data(0).has_value());
    EXPECT_FALSE(s.string(1).has_value());
    EXPECT_TRUE(s.isNull(0));
    ASSERT_TRUE(s.step().value());
    ASSERT_TRUE(s.data(0).has_value());
    EXPECT_TRUE(s.data(0)->empty());
    EXPECT_EQ(s.string(1), "");
    ASSERT_TRUE(s.step().value());
    EXPECT_EQ(s.data(0), (std::vector<uint8_t>{0x00, 0xff}));
    EXPECT_EQ(s.string(1), "h\xC3\xA9");
    EXPECT_FALSE(s.step().value());
}

TEST_F(SQLiteStatements, BindAllWithNothingClearsEarlierBindings) {
    auto st = db->prepare("SELECT ?1 IS NULL");
    ASSERT_TRUE(st);
    ASSERT_TRUE((*st)->run({BindValue{int64_t{5}}}).value());
    EXPECT_EQ((*st)->int64(0), 0);
    ASSERT_TRUE((*st)->run({}).value());
    EXPECT_EQ((*st)->int64(0), 1);
}

TEST_F(SQLiteStatements, PrepareFailuresCarryTheSQL) {
    auto empty = db->prepare("");
    ASSERT_FALSE(empty);
    EXPECT_TRUE(std::holds_alternative<SQLiteDatabase::Failure::Prepare>(empty.error().value));

    auto bad = db->prepare("SELECT nope FROM t");
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().description(), "SQL: no such column: nope \u2014 SELECT nope FROM t");
}

}  // namespace
}  // namespace quillmark
