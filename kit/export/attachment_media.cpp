#include "export/attachment_media.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

namespace quillmark {

namespace {

constexpr size_t kChunkSize = 1024 * 1024;

// The modification time as seconds since 1970 in the shortest text that reads back as the same double,
// always with a fractional part: 1712345678.123456, 1712345678.0.
std::string modificationTimeText(const struct stat& info) {
    const double seconds = double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9;
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, seconds);
    if (error != std::errc()) return "0.0";
    std::string result(text, end);
    if (result.find_first_of(".e") == std::string::npos) result += ".0";
    return result;
}

// "path|size|mtime", or "path|-1|0.0" when the file's attributes cannot be read.
std::string keyOf(const std::string& path, const struct stat* info) {
    if (info == nullptr) return path + "|-1|0.0";
    return path + "|" + std::to_string(int64_t(info->st_size)) + "|" + modificationTimeText(*info);
}

// Whether two looks at a file saw the same file in the same state.
bool sameFileState(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

std::string lowercaseHex(const unsigned char* bytes, unsigned int count) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(count * 2);
    for (unsigned int i = 0; i < count; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0x0f];
    }
    return hex;
}

// Opens for reading without updating the file's access time where the system allows it (only the file's
// owner may ask for that), so that hashing a history leaves no trace on it. Opening does not wait, so that a
// path naming a pipe cannot stall an export.
int openForReading(const std::string& path) {
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
    if (descriptor < 0 && errno == EPERM) descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return descriptor;
}

// Attachment paths come from the history's database. Only regular files are read: a path naming a device
// (/dev/zero, /dev/stdin) or a pipe would never end or never answer.
bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

struct Descriptor {
    int value;
    ~Descriptor() {
        if (value >= 0) ::close(value);  // a failure to close changes nothing that was read
    }
};

struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// The digest of everything the descriptor reads, in 1 MiB chunks; nothing when a read fails, since the
// digest of part of a file is not the file's hash.
std::optional<std::string> digestOf(int descriptor) {
    std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    // One buffer per thread: attachments are mostly small, and a fresh 1 MiB allocation per file would cost
    // more than hashing them.
    thread_local std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunkSize]);
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer.get(), kChunkSize);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return std::nullopt;
        if (count == 0) break;
        if (EVP_DigestUpdate(context.get(), buffer.get(), size_t(count)) != 1) return std::nullopt;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::nullopt;
    return lowercaseHex(digest, length);
}

bool endsWithPDF(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return suffix == ".pdf";
}

}  // namespace

AttachmentMedia& AttachmentMedia::shared() {
    static AttachmentMedia media;
    return media;
}

std::string AttachmentMedia::cacheKey(const std::string& path) {
    struct stat info {};
    return keyOf(path, ::stat(path.c_str(), &info) == 0 ? &info : nullptr);
}

std::optional<std::string> AttachmentMedia::sha256(const std::string& path) {
    struct stat before {};
    const bool known = ::stat(path.c_str(), &before) == 0;
    const std::string key = keyOf(path, known ? &before : nullptr);
    {
        std::lock_guard guard(lock_);
        if (auto found = hashes_.find(key); found != hashes_.end()) return found->second;
    }

    Descriptor file{openForReading(path)};
    if (file.value < 0) return std::nullopt;
    struct stat opened {};
    if (::fstat(file.value, &opened) != 0 || !S_ISREG(opened.st_mode)) return std::nullopt;
    auto digest = digestOf(file.value);
    if (!digest) return std::nullopt;

    // The key names the file as it was before reading. If another file now stands at the path, or the file
    // changed while it was read, the digest does not belong to that key and is not kept.
    struct stat after {};
    if (known && ::fstat(file.value, &after) == 0 && sameFileState(before, opened) && sameFileState(opened, after)) {
        std::lock_guard guard(lock_);
        hashes_.emplace(key, *digest);
    }
    return digest;
}

std::optional<double> AttachmentMedia::duration(const std::string& path) {
    {
        std::lock_guard guard(lock_);
        if (auto found = durations_.find(path); found != durations_.end()) return found->second;
    }
    if (!isRegularFile(path)) return std::nullopt;
    auto seconds = graphics::mediaDuration(path);
    if (!seconds) return std::nullopt;
    std::lock_guard guard(lock_);
    durations_.emplace(path, *seconds);
    return seconds;
}

std::optional<int64_t> AttachmentMedia::fileSize(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return int64_t(info.st_size);
}

std::optional<graphics::Picture> AttachmentMedia::picture(const Attachment& attachment, int maxPixels) {
    if (!attachment.isAvailable || !attachment.path || !isRegularFile(*attachment.path)) return std::nullopt;
    const std::string& path = *attachment.path;
    switch (attachment.kind().value()) {
    case AttachmentKind::image: return graphics::pictureOfImageFile(path, maxPixels);
    case AttachmentKind::video: return graphics::pictureOfVideoFile(path, maxPixels);
    case AttachmentKind::audio: return std::nullopt;
    case AttachmentKind::file:
        if (attachment.mimeType == "application/pdf" || endsWithPDF(path))
            return graphics::pictureOfPDFFile(path, maxPixels);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<graphics::Picture> AttachmentMedia::printablePicture(const Attachment& attachment, int maxPixels,
                                                                   double quality) {
    auto picture = this->picture(attachment, maxPixels);
    if (!picture) return std::nullopt;
    auto jpeg = picture->encodeJPEG(quality);
    if (!jpeg) return picture;
    auto printable = graphics::Picture::fromJPEG(*jpeg);
    if (!printable) return picture;
    return printable;
}

}  // namespace quillmark
