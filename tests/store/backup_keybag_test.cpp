// The key bag and the ciphers of encrypted iPhone backups: keys come back only with the right password,
// damaged bags and ciphertexts are refused without a crash; a database served decrypted-on-read reads as
// its plain file does, and a damaged one fails with SQLite's error.
#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "store/backup_cipher.h"
#include "store/backup_file_system.h"
#include "store/backup_keybag.h"
#include "store/sqlite_database.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using Buffer = std::vector<uint8_t>;

Buffer bytes(size_t n, uint8_t seed) {
    Buffer b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

struct Bag {
    Buffer classKey3 = bytes(32, 3), classKey4 = bytes(32, 4);
    Buffer encoded;
    Bag() {
        const Buffer salt = bytes(20, 1), dpsl = bytes(20, 2);
        const auto key = BackupCipher::passwordKey("right", dpsl, 50, salt, 5);
        std::vector<BackupKeybag::ClassKey> keys{{3, 2, *BackupCipher::wrap(*key, classKey3)},
                                                 {4, 2, *BackupCipher::wrap(*key, classKey4)},
                                                 {5, 3, bytes(40, 9)}};  // bound to the device: skipped
        encoded = BackupKeybag::encode(bytes(16, 0), salt, 5, dpsl, 50, keys);
    }
};

TEST(BackupKeybagTest, OnlyTheRightPasswordOpensTheClassKeys) {
    const Bag bag;
    const auto decoded = BackupKeybag::decode(bag.encoded);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->classKeys().size(), 3u);

    const auto keys = decoded->unlock(*decoded->passwordKey("right"));
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->size(), 2u);
    EXPECT_EQ(keys->at(3), bag.classKey3);
    EXPECT_EQ(keys->at(4), bag.classKey4);

    const auto wrong = decoded->unlock(*decoded->passwordKey("Right"));
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error(), BackupKeybag::Failure::wrongPassword);
}

TEST(BackupKeybagTest, DamagedBagsAreRefused) {
    const Bag bag;
    // Every cut short bag: refused or read, never past its end (the sanitizers watch).
    for (size_t n = 0; n < bag.encoded.size(); ++n) {
        const auto decoded = BackupKeybag::decode(std::span(bag.encoded).first(n));
        if (decoded) {
            EXPECT_FALSE(decoded->classKeys().empty());
        }
    }
    Buffer huge = bag.encoded;
    huge[4] = 0x7F;  // the first record claims two gigabytes
    EXPECT_FALSE(BackupKeybag::decode(huge));

    Buffer badCount = bag.encoded;
    // ITER (the fifth record) with a 3-byte value is no count.
    const auto at = std::search(badCount.begin(), badCount.end(), std::begin("ITER"), std::begin("ITER") + 4);
    ASSERT_NE(at, badCount.end());
    at[7] = 3;
    EXPECT_FALSE(BackupKeybag::decode(badCount));

    const Buffer noClassKeys = BackupKeybag::encode(bytes(16, 0), bytes(20, 1), 5, bytes(20, 2), 50, {});
    EXPECT_FALSE(BackupKeybag::decode(noClassKeys));
}

// Decrypts through descriptors as the reader does.
tl::expected<Buffer, BackupCipher::Failure> decrypt(const Buffer& key, const Buffer& encrypted,
                                                    std::optional<uint64_t> size) {
    const int in = ::memfd_create("in", MFD_CLOEXEC), out = ::memfd_create("out", MFD_CLOEXEC);
    EXPECT_EQ(::write(in, encrypted.data(), encrypted.size()), static_cast<ssize_t>(encrypted.size()));
    auto done = BackupCipher::decrypt(key, in, out, size);
    Buffer plain(static_cast<size_t>(::lseek(out, 0, SEEK_END)));
    EXPECT_EQ(::pread(out, plain.data(), plain.size(), 0), static_cast<ssize_t>(plain.size()));
    ::close(in);
    ::close(out);
    if (!done) return tl::unexpected(done.error());
    return plain;
}

TEST(BackupCipherTest, DecryptsWithSizeOrPaddingAcrossChunks) {
    const Buffer key = bytes(32, 11);
    for (size_t n : {size_t{0}, size_t{15}, size_t{16}, (size_t{1} << 20) + 5}) {
        SCOPED_TRACE(n);
        const Buffer plain = bytes(n, 5);
        const auto encrypted = BackupCipher::encrypt(key, plain);
        ASSERT_TRUE(encrypted);
        EXPECT_EQ(decrypt(key, *encrypted, std::nullopt), plain);
        EXPECT_EQ(decrypt(key, *encrypted, n), plain);
    }
}

TEST(BackupCipherTest, DamagedCiphertextsFail) {
    const Buffer key = bytes(32, 11);
    const Buffer encrypted = *BackupCipher::encrypt(key, bytes(100, 5));
    EXPECT_FALSE(decrypt(key, Buffer(encrypted.begin(), encrypted.end() - 1), std::nullopt));  // not whole blocks
    EXPECT_FALSE(decrypt(key, encrypted, encrypted.size() + 1));                              // listed larger
    EXPECT_FALSE(decrypt(bytes(32, 12), encrypted, std::nullopt));                            // padding wrong
    EXPECT_FALSE(BackupCipher::unwrap(key, bytes(40, 1)));                                    // integrity check
    EXPECT_FALSE(BackupCipher::unwrap(key, bytes(13, 1)));                                    // no wrapped key
}

int memoryFile(const Buffer& content) {
    const int fd = ::memfd_create("encrypted", MFD_CLOEXEC);
    EXPECT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    return fd;
}

TEST(BackupCipherTest, PartsReadAnywhereEqualTheWholeDecryptedFile) {
    const Buffer key = bytes(32, 11), plain = bytes(1000, 5);
    const Buffer encrypted = *BackupCipher::encrypt(key, plain);
    const int fd = memoryFile(encrypted);
    auto part = BackupCipher::Decryptor::make(key);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->plainSize(fd, encrypted.size()), plain.size());
    for (const auto& [offset, length] : {std::pair{0, 1000}, std::pair{0, 1}, std::pair{15, 2}, std::pair{16, 16},
                                         std::pair{17, 500}, std::pair{31, 33}, std::pair{999, 1}, std::pair{984, 16}}) {
        SCOPED_TRACE(::testing::Message() << offset << "+" << length);
        Buffer got(static_cast<size_t>(length));
        ASSERT_TRUE(part->read(fd, static_cast<uint64_t>(offset), got));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), plain.begin() + offset));
    }
    // Beyond the ciphertext (a file cut short): a failure, not a read past the buffer.
    Buffer past(32);
    EXPECT_FALSE(part->read(fd, encrypted.size() - 16, past));
    EXPECT_FALSE(BackupCipher::Decryptor::make(bytes(31, 1)));
    EXPECT_FALSE(BackupCipher::Decryptor::make(bytes(32, 12))->plainSize(fd, encrypted.size()));  // wrong key
    EXPECT_FALSE(part->plainSize(fd, encrypted.size() - 1));
    ::close(fd);
}

// A database of some pages, encrypted as a backup keeps it, and served under a path of the folder.
struct ServedDatabase {
    testing::TempDir folder;
    Buffer key = bytes(32, 21);
    Buffer plain, encrypted;
    std::string path = (folder / "3d0d7e5fb2ce288813306e4d4636395e047a3d28").string();

    ServedDatabase() {
        const std::string made = (folder / "made.db").string();
        auto db = SQLiteDatabase::openCreating(made);
        EXPECT_TRUE(db && (*db)->execute("CREATE TABLE t(n INTEGER, s TEXT);"
                                         "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 3000)"
                                         "INSERT INTO t SELECT n, printf('row %d of the table', n) FROM c;"));
        db->reset();
        const std::string text = testing::readFile(made);
        plain.assign(text.begin(), text.end());
        encrypted = *BackupCipher::encrypt(key, plain);
    }
    // Serves `content` (the encrypted file, or a damaged one) as the database.
    tl::expected<std::shared_ptr<const BackupFileSystem::Served>, BackupFileSystem::Failure> serve(
        const Buffer& content, const Buffer& withKey, std::optional<uint64_t> size) {
        folder.write(path.substr(folder.path().string().size() + 1),
                     std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
        auto file = ReadableFile::open(path);
        EXPECT_TRUE(file);
        return BackupFileSystem::serve(path, {std::move(*file), withKey, size}, std::nullopt);
    }
};

TEST(BackupFileSystemTest, ReadsTheDatabaseDecryptedAndWritesNothing) {
    ServedDatabase db;
    const std::string sum = "SELECT sum(length(s) * n) FROM t";
    auto plain = SQLiteDatabase::openReadOnly((db.folder / "made.db").string());
    ASSERT_TRUE(plain);
    for (const auto& size : {std::optional<uint64_t>(db.plain.size()), std::optional<uint64_t>()}) {
        auto served = db.serve(db.encrypted, db.key, size);
        ASSERT_TRUE(served) << served.error();
        auto opened = SQLiteDatabase::openReadOnly(db.path);
        ASSERT_TRUE(opened) << opened.error().description();
        EXPECT_EQ((*opened)->access(), SQLiteDatabase::Access::backup);
        EXPECT_EQ((*opened)->scalarInt(sum), (*plain)->scalarInt(sum));
        EXPECT_FALSE((*opened)->execute("CREATE TABLE u(x)"));
        // The connection keeps its file served after the handle is gone, and a second one opens beside it.
        served->reset();
        auto second = (*opened)->reopen();
        ASSERT_TRUE(second);
        EXPECT_EQ((*second)->scalarInt("SELECT count(*) FROM t"), 3000);
    }
    EXPECT_FALSE(BackupFileSystem::served(db.path));
    plain->reset();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(db.folder.path()), {}), 2);  // made.db, the file
}

TEST(BackupFileSystemTest, DamagedFilesFailWithoutACrash) {
    ServedDatabase db;
    // Cut short, not whole blocks, or listed longer than it is: refused before SQLite reads.
    EXPECT_FALSE(db.serve(Buffer(db.encrypted.begin(), db.encrypted.end() - 4096), db.key, db.plain.size()));
    EXPECT_FALSE(db.serve(Buffer(db.encrypted.begin(), db.encrypted.end() - 1), db.key, std::nullopt));
    EXPECT_FALSE(db.serve(db.encrypted, db.key, db.encrypted.size() + 16));
    {
        // A wrong key: the padding check fails without a size, SQLite finds no database with one.
        EXPECT_FALSE(db.serve(db.encrypted, bytes(32, 22), std::nullopt));
        auto served = db.serve(db.encrypted, bytes(32, 22), db.plain.size());
        ASSERT_TRUE(served);
        auto opened = SQLiteDatabase::openReadOnly(db.path);
        ASSERT_FALSE(opened);
        EXPECT_NE(opened.error().description().find("not a database"), std::string::npos) << opened.error().description();
    }
    {
        // Cut short after it was served: the reads past the end fail as SQLite errors.
        auto served = db.serve(db.encrypted, db.key, db.plain.size());
        ASSERT_TRUE(served);
        auto opened = SQLiteDatabase::openReadOnly(db.path);
        ASSERT_TRUE(opened);
        ASSERT_EQ(::truncate(db.path.c_str(), 8192), 0);
        EXPECT_FALSE((*opened)->scalarInt("SELECT sum(length(s)) FROM t"));
    }
}

}  // namespace
}  // namespace quillmark
