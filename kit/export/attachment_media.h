// AttachmentMedia: reads attachment files for the exporters and keeps what is costly to compute.
//
// It hashes files (SHA-256, cached by path, size and modification time, so a changed file is hashed anew),
// measures the playing time of audio and video (cached by path) and makes pictures of images, videos and
// PDF attachments. One shared instance serves every export and verification of a run; it may be used from
// several threads at once: only the cache lookups hold its lock.
//
//   AttachmentMedia& media = AttachmentMedia::shared();
//   media.sha256("/data/Attachments/IMG_1.HEIC");      // "9f86d0…" (64 lowercase hex digits)
//   media.printablePicture(attachment, 1400, 0.82);     // a JPEG-backed picture for a PDF page
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "conversations/attachment.h"
#include "export/graphics/picture.h"

namespace quillmark {

class AttachmentMedia {
public:
    AttachmentMedia() = default;
    AttachmentMedia(const AttachmentMedia&) = delete;
    AttachmentMedia& operator=(const AttachmentMedia&) = delete;

    // The process-wide instance, made on first use.
    static AttachmentMedia& shared();

    // The SHA-256 of the file's bytes in lowercase hex; nothing when it is not a regular file, cannot be
    // opened or a read fails (nothing is cached then). A digest is kept only when the file did not change
    // while it was read.
    std::optional<std::string> sha256(const std::string& path);

    // The playing time of an audio or video file in seconds; nothing when unknown.
    std::optional<double> duration(const std::string& path);

    // The file's size on disk; nothing when its attributes cannot be read.
    std::optional<int64_t> fileSize(const std::string& path) const;

    // A picture of an available image, video or PDF attachment whose longer side is at most maxPixels.
    std::optional<graphics::Picture> picture(const Attachment& attachment, int maxPixels);

    // The same picture passed once through JPEG compression at the quality (0 to 1), keeping the JPEG bytes.
    std::optional<graphics::Picture> printablePicture(const Attachment& attachment, int maxPixels, double quality);

    // The cache key of a file: its path, size and modification time.
    static std::string cacheKey(const std::string& path);

private:
    std::mutex lock_;
    std::unordered_map<std::string, std::string> hashes_;
    std::unordered_map<std::string, double> durations_;
};

}  // namespace quillmark
