#include "core/sha256.h"

#include <cerrno>

#include <unistd.h>

#include <openssl/evp.h>

#include "core/readable_file.h"
#include "core/text.h"

namespace quillmark::SHA256 {

namespace {

constexpr size_t chunkSize = 1024 * 1024;

}  // namespace

struct Hasher::Context {
    EVP_MD_CTX* value = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(value); }
};

Hasher::Hasher() : context_(std::make_unique<Context>()) { EVP_DigestInit_ex(context_->value, EVP_sha256(), nullptr); }

Hasher::~Hasher() = default;

void Hasher::update(std::string_view bytes) { EVP_DigestUpdate(context_->value, bytes.data(), bytes.size()); }

std::string Hasher::finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->value, digest, &length);
    return text::lowercaseHex(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::string of(std::string_view bytes) {
    Hasher hasher;
    hasher.update(bytes);
    return hasher.finish();
}

std::optional<std::string> ofFile(const ReadableFile& file) {
    // One buffer per thread: attachments are mostly small, and a fresh 1 MiB allocation per file would cost
    // more than hashing them.
    thread_local std::unique_ptr<char[]> buffer(new char[chunkSize]);
    Hasher hasher;
    off_t offset = 0;
    for (;;) {
        const ssize_t count = ::pread(file.descriptor(), buffer.get(), chunkSize, offset);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return std::nullopt;
        if (count == 0) break;
        hasher.update(std::string_view(buffer.get(), size_t(count)));
        offset += count;
    }
    return hasher.finish();
}

std::optional<std::string> ofPath(const std::string& path) {
    auto file = ReadableFile::open(path);
    if (!file) return std::nullopt;
    return ofFile(*file);
}

}  // namespace quillmark::SHA256
