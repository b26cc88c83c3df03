#include "store/backup_cipher.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>
#include <openssl/sha.h>

namespace quillmark::BackupCipher {

namespace {

constexpr size_t keySize = 32;
constexpr size_t blockSize = 16;
constexpr size_t chunkSize = size_t{1} << 20;

struct ContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

int asInt(size_t n) { return static_cast<int>(n); }

std::optional<Bytes> keyWrap(std::span<const uint8_t> kek, std::span<const uint8_t> in, bool wrapping) {
    if (kek.size() != keySize || in.size() % 8 != 0 || in.size() < (wrapping ? 16 : 24) || in.size() > 72)
        return std::nullopt;
    Context context(EVP_CIPHER_CTX_new());
    if (!context) return std::nullopt;
    EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr, wrapping ? 1 : 0) != 1)
        return std::nullopt;
    Bytes out(in.size() + 8);
    int written = 0, last = 0;
    if (EVP_CipherUpdate(context.get(), out.data(), &written, in.data(), asInt(in.size())) != 1 || written < 0)
        return std::nullopt;
    if (EVP_CipherFinal_ex(context.get(), out.data() + written, &last) != 1) return std::nullopt;
    out.resize(static_cast<size_t>(written + last));
    return out;
}

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

std::optional<Bytes> passwordKey(std::string_view password, std::span<const uint8_t> dpsl, uint32_t dpic,
                                 std::span<const uint8_t> salt, uint32_t iterations) {
    if (dpic == 0 || iterations == 0 || dpic > INT32_MAX || iterations > INT32_MAX) return std::nullopt;
    Bytes first(keySize), second(keySize);
    if (PKCS5_PBKDF2_HMAC(password.data(), asInt(password.size()), dpsl.data(), asInt(dpsl.size()),
                          static_cast<int>(dpic), EVP_sha256(), asInt(keySize), first.data()) != 1)
        return std::nullopt;
    const bool ok = PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(first.data()), asInt(first.size()), salt.data(),
                                      asInt(salt.size()), static_cast<int>(iterations), EVP_sha1(), asInt(keySize),
                                      second.data()) == 1;
    OPENSSL_cleanse(first.data(), first.size());
    if (!ok) return std::nullopt;
    return second;
}

std::optional<Bytes> unwrap(std::span<const uint8_t> kek, std::span<const uint8_t> wrapped) {
    auto key = keyWrap(kek, wrapped, false);
    if (key && key->size() != wrapped.size() - 8) return std::nullopt;
    return key;
}

std::optional<Bytes> wrap(std::span<const uint8_t> kek, std::span<const uint8_t> key) { return keyWrap(kek, key, true); }

tl::expected<void, Failure> decrypt(std::span<const uint8_t> key, int in, int out, std::optional<uint64_t> size) {
    using Unexpected = tl::unexpected<Failure>;
    if (key.size() != keySize) return Unexpected(Failure{"the file's key has the wrong length"});
    struct stat status {};
    if (::fstat(in, &status) != 0) return Unexpected(Failure{std::string("can't read the file: ") + std::strerror(errno)});
    const auto total = static_cast<uint64_t>(status.st_size);
    if (total % blockSize != 0) return Unexpected(Failure{"the encrypted file's length is not a whole number of blocks"});
    if (size && *size > total) return Unexpected(Failure{"the encrypted file is shorter than the size it is listed with"});

    Context context(EVP_CIPHER_CTX_new());
    const uint8_t zero[blockSize] = {};
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), zero) != 1)
        return Unexpected(Failure{"OpenSSL can't start decrypting"});
    EVP_CIPHER_CTX_set_padding(context.get(), 0);

    Bytes input(chunkSize), output(chunkSize + blockSize);
    uint64_t offset = 0, kept = 0;
    // Without a size the last block is held back until the end, where its padding is checked.
    Bytes held;
    while (offset < total) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunkSize, total - offset));
        const ssize_t r = ::pread(in, input.data(), want, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return Unexpected(Failure{"can't read the encrypted file"});
        offset += static_cast<uint64_t>(r);
        int produced = 0;
        if (EVP_DecryptUpdate(context.get(), output.data(), &produced, input.data(), static_cast<int>(r)) != 1)
            return Unexpected(Failure{"OpenSSL can't decrypt the file"});
        const auto n = static_cast<size_t>(produced);
        if (size) {
            const auto take = static_cast<size_t>(std::min<uint64_t>(n, *size - kept));
            if (!writeAll(out, output.data(), take)) return Unexpected(Failure{"can't write the decrypted file"});
            kept += take;
        } else {
            held.insert(held.end(), output.begin(), output.begin() + static_cast<std::ptrdiff_t>(n));
            if (held.size() > blockSize) {
                const size_t flush = (held.size() - 1) / blockSize * blockSize;
                if (!writeAll(out, held.data(), flush)) return Unexpected(Failure{"can't write the decrypted file"});
                held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(flush));
            }
        }
    }
    if (size) return {};
    if (held.size() != blockSize) return Unexpected(Failure{"the encrypted file is empty"});
    const uint8_t pad = held.back();
    if (pad == 0 || pad > blockSize) return Unexpected(Failure{"the decrypted file ends in a wrong padding"});
    for (size_t i = blockSize - pad; i < blockSize; ++i)
        if (held[i] != pad) return Unexpected(Failure{"the decrypted file ends in a wrong padding"});
    if (!writeAll(out, held.data(), blockSize - pad)) return Unexpected(Failure{"can't write the decrypted file"});
    return {};
}

void Decryptor::ContextFree::operator()(evp_cipher_ctx_st* context) const { EVP_CIPHER_CTX_free(context); }

std::optional<Decryptor> Decryptor::make(std::span<const uint8_t> key) {
    if (key.size() != keySize) return std::nullopt;
    std::unique_ptr<evp_cipher_ctx_st, ContextFree> context(EVP_CIPHER_CTX_new());
    const uint8_t zero[blockSize] = {};
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), zero) != 1)
        return std::nullopt;
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    return Decryptor(std::move(context));
}

tl::expected<void, Failure> Decryptor::read(int in, uint64_t offset, std::span<uint8_t> out) {
    using Unexpected = tl::unexpected<Failure>;
    if (out.empty()) return {};
    if (offset > UINT64_MAX - out.size()) return Unexpected(Failure{"the part asked for lies beyond any file"});
    const uint64_t first = offset / blockSize, last = (offset + out.size() - 1) / blockSize;
    // The block before the first is read too: it is the first one's initialisation vector.
    const uint64_t start = (first == 0 ? 0 : first - 1) * blockSize;
    const size_t length = static_cast<size_t>((last + 1) * blockSize - start);
    if (length > INT32_MAX) return Unexpected(Failure{"the part asked for is too large"});
    cipher_.resize(length);
    for (size_t got = 0; got < length;) {
        const ssize_t r = ::pread(in, cipher_.data() + got, length - got, static_cast<off_t>(start + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return Unexpected(Failure{std::string("can't read the encrypted file: ") + std::strerror(errno)});
        if (r == 0) return Unexpected(Failure{"the encrypted file ends before the part asked for"});
        got += static_cast<size_t>(r);
    }
    const uint8_t zero[blockSize] = {};
    const uint8_t* vector = first == 0 ? zero : cipher_.data();
    const size_t skip = first == 0 ? 0 : blockSize;
    plain_.resize(length - skip);
    int produced = 0;
    if (EVP_DecryptInit_ex(context_.get(), nullptr, nullptr, nullptr, vector) != 1 ||
        EVP_DecryptUpdate(context_.get(), plain_.data(), &produced, cipher_.data() + skip, asInt(length - skip)) != 1 ||
        static_cast<size_t>(produced) != plain_.size())
        return Unexpected(Failure{"OpenSSL can't decrypt the file"});
    std::memcpy(out.data(), plain_.data() + (offset - first * blockSize), out.size());
    return {};
}

tl::expected<uint64_t, Failure> Decryptor::plainSize(int in, uint64_t total) {
    using Unexpected = tl::unexpected<Failure>;
    if (total % blockSize != 0) return Unexpected(Failure{"the encrypted file's length is not a whole number of blocks"});
    if (total == 0) return Unexpected(Failure{"the encrypted file is empty"});
    uint8_t block[blockSize];
    if (auto done = read(in, total - blockSize, block); !done) return tl::unexpected(done.error());
    const uint8_t pad = block[blockSize - 1];
    if (pad == 0 || pad > blockSize) return Unexpected(Failure{"the decrypted file ends in a wrong padding"});
    for (size_t i = blockSize - pad; i < blockSize; ++i)
        if (block[i] != pad) return Unexpected(Failure{"the decrypted file ends in a wrong padding"});
    return total - pad;
}

std::optional<Bytes> encrypt(std::span<const uint8_t> key, std::span<const uint8_t> plain) {
    if (key.size() != keySize || plain.size() > INT32_MAX - blockSize) return std::nullopt;
    Context context(EVP_CIPHER_CTX_new());
    const uint8_t zero[blockSize] = {};
    if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), zero) != 1)
        return std::nullopt;
    Bytes out(plain.size() + blockSize);
    int written = 0, last = 0;
    if (EVP_EncryptUpdate(context.get(), out.data(), &written, plain.data(), asInt(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(context.get(), out.data() + written, &last) != 1)
        return std::nullopt;
    out.resize(static_cast<size_t>(written + last));
    return out;
}

std::string sha1Hex(std::string_view text) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

}  // namespace quillmark::BackupCipher
