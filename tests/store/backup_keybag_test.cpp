// The key bag and the ciphers of encrypted iPhone backups: keys come back only with the right password,
// damaged bags and ciphertexts are refused without a crash.
#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "store/backup_cipher.h"
#include "store/backup_keybag.h"

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
    EXPECT_EQ(decoded->iterations(), 5u);
    EXPECT_EQ(decoded->passwordIterations(), 50u);
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

}  // namespace
}  // namespace quillmark
