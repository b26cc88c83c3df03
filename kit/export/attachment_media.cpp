#include "export/attachment_media.h"

#include <algorithm>
#include <charconv>

#include <sys/stat.h>

#include "core/sha256.h"
#include "core/text.h"

namespace quillmark {

namespace {

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

// Whether two looks at a file saw the same file in the same state.
bool sameFileState(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool isPDF(const Attachment& attachment) {
    if (attachment.mimeType == "application/pdf") return true;
    const std::string& path = *attachment.path;
    return path.size() >= 4 && text::asciiLower(std::string_view(path).substr(path.size() - 4)) == ".pdf";
}

}  // namespace

AttachmentMedia& AttachmentMedia::shared() {
    static AttachmentMedia media;
    return media;
}

tl::expected<ReadableFile, ReadableFile::Failure> AttachmentMedia::open(const Attachment& attachment) {
    if (!attachment.path) return tl::unexpected(ReadableFile::Refusal::missing);
    if (!attachment.files) return tl::unexpected(ReadableFile::Refusal::outside);
    return attachment.files->open(*attachment.path);
}

std::string AttachmentMedia::cacheKey(const std::string& path, const ReadableFile& file) {
    return path + "|" + std::to_string(file.size()) + "|" + modificationTimeText(file.status());
}

std::optional<std::string> AttachmentMedia::sha256(const Attachment& attachment) {
    auto file = open(attachment);
    if (!file) return std::nullopt;
    const std::string key = cacheKey(*attachment.path, *file);
    {
        std::lock_guard guard(lock_);
        if (auto found = hashes_.find(key); found != hashes_.end()) return found->second;
    }
    auto digest = SHA256::ofFile(*file);
    if (!digest) return std::nullopt;
    // The key names the file as it was when opened. If it changed while it was read, the digest does not
    // belong to that key and is not kept.
    struct stat after {};
    if (::fstat(file->descriptor(), &after) == 0 && sameFileState(file->status(), after)) {
        std::lock_guard guard(lock_);
        hashes_.emplace(key, *digest);
    }
    return digest;
}

std::optional<double> AttachmentMedia::duration(const Attachment& attachment) {
    auto file = open(attachment);
    if (!file) return std::nullopt;
    const std::string key = cacheKey(*attachment.path, *file);
    {
        std::lock_guard guard(lock_);
        if (auto found = durations_.find(key); found != durations_.end()) return found->second;
    }
    auto seconds = graphics::mediaDuration(file->procPath());
    if (!seconds) return std::nullopt;
    std::lock_guard guard(lock_);
    durations_.emplace(key, *seconds);
    return seconds;
}

std::optional<graphics::Picture> AttachmentMedia::picture(const Attachment& attachment, int maxPixels) {
    if (!attachment.isAvailable) return std::nullopt;
    auto file = open(attachment);
    if (!file) return std::nullopt;
    // The libraries open the file by a name that stands for this descriptor, so they read the very file
    // that was checked.
    const std::string path = file->procPath();
    switch (attachment.kind().value()) {
    case AttachmentKind::image: return graphics::pictureOfImageFile(path, maxPixels);
    case AttachmentKind::video: return graphics::pictureOfVideoFile(path, maxPixels);
    case AttachmentKind::audio: return std::nullopt;
    case AttachmentKind::file:
        if (isPDF(attachment)) return graphics::pictureOfPDFFile(path, maxPixels);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<graphics::Picture> AttachmentMedia::printablePicture(const Attachment& attachment, int maxPixels,
                                                                   double quality) {
    auto picture = this->picture(attachment, maxPixels);
    if (!picture) return std::nullopt;
    // The pixels stay those before compression: a page embeds the JPEG, so decoding it again to have its
    // own pixels would cost a second decode of every photo for pixels nobody draws.
    if (auto jpeg = picture->encodeJPEG(quality)) picture->jpeg = std::move(*jpeg);
    return picture;
}

}  // namespace quillmark
