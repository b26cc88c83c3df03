// BackupCipher: the cryptography of an encrypted iPhone backup, on OpenSSL.
//
// A backup password becomes a key in two rounds of PBKDF2; that key unwraps (AES key wrap) the class keys
// of the backup's key bag, a class key unwraps each file's own key, and a file's key decrypts its bytes
// (AES-256-CBC, zero initialisation vector, PKCS#7 padding). Wrapping and encrypting are here too, for the
// tools that write backups for tests; the engine only unwraps and decrypts.
//
//   auto key = BackupCipher::passwordKey("secret", dpsl, 10'000'000, salt, 10'000);
//   auto classKey = BackupCipher::unwrap(key, wrapped);        // nothing: the integrity check failed
//   BackupCipher::decrypt(*fileKey, in, out, size);            // writes `size` plain bytes to `out`
//   auto part = BackupCipher::Decryptor::make(*fileKey);       // or a part of it, anywhere:
//   part->read(in, 4096, page);                                // page.size() plain bytes from offset 4096
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

#include "core/failure.h"

struct evp_cipher_ctx_st;

namespace quillmark::BackupCipher {

using Bytes = std::vector<uint8_t>;
using Failure = SentenceFailure;

// passwordKey: PBKDF2-HMAC-SHA256 of the password (salt `dpsl`, `dpic` rounds, 32 bytes), then
// PBKDF2-HMAC-SHA1 of that (salt `salt`, `iterations` rounds, 32 bytes). Nothing when OpenSSL fails.
std::optional<Bytes> passwordKey(std::string_view password, std::span<const uint8_t> dpsl, uint32_t dpic,
                                 std::span<const uint8_t> salt, uint32_t iterations);

// unwrap: the key wrapped with `kek` (RFC 3394); nothing when the integrity check fails (a wrong key) or the
// wrapped bytes have the wrong shape (not 24 to 72 bytes, not a multiple of 8).
std::optional<Bytes> unwrap(std::span<const uint8_t> kek, std::span<const uint8_t> wrapped);
std::optional<Bytes> wrap(std::span<const uint8_t> kek, std::span<const uint8_t> key);

// decrypt: decrypts the whole of `in` (a descriptor read from its start) with a 32-byte key into `out`.
// With a `size`, exactly that many bytes are written (the rest is padding); without one, the PKCS#7 padding
// is checked and removed. Fails when the length is not a multiple of 16, the padding is wrong, the size is
// larger than the content, or reading or writing fails.
tl::expected<void, Failure> decrypt(std::span<const uint8_t> key, int in, int out, std::optional<uint64_t> size);

// Decryptor: reads any part of an encrypted file without decrypting what comes before it. In CBC, plain
// block i is the decryption of cipher block i XOR cipher block i - 1 (the zero initialisation vector for
// the first), so bytes [offset, offset + n) need the cipher blocks from the one before their first block
// through their last. One object is used by one thread at a time; it keeps the key's schedule and buffers.
class Decryptor {
public:
    // make: nothing when the key is not 32 bytes or OpenSSL fails.
    static std::optional<Decryptor> make(std::span<const uint8_t> key);

    // read: `out.size()` plain bytes from `offset` of the encrypted file `in` (read with pread, so the
    // descriptor may be shared). Fails when the file ends before the blocks that hold them, or reading fails;
    // the caller keeps the read within the file's true length.
    tl::expected<void, Failure> read(int in, uint64_t offset, std::span<uint8_t> out);

    // plainSize: the length of the plain bytes of `in`, an encrypted file of `total` bytes, from the PKCS#7
    // padding of its last block. Fails when the length is not whole blocks or the padding is wrong (as it
    // is with a wrong key).
    tl::expected<uint64_t, Failure> plainSize(int in, uint64_t total);

private:
    struct ContextFree {
        void operator()(evp_cipher_ctx_st* context) const;
    };
    explicit Decryptor(std::unique_ptr<evp_cipher_ctx_st, ContextFree> context) : context_(std::move(context)) {}
    std::unique_ptr<evp_cipher_ctx_st, ContextFree> context_;
    Bytes cipher_, plain_;
};

// encrypt: the bytes encrypted with a 32-byte key, PKCS#7-padded.
std::optional<Bytes> encrypt(std::span<const uint8_t> key, std::span<const uint8_t> plain);

// sha1Hex: the lower-case hex SHA-1 of the text (the name of a file in a backup).
std::string sha1Hex(std::string_view text);

}  // namespace quillmark::BackupCipher
