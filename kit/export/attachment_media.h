// AttachmentMedia: reads attachment files for the exporters and keeps what is costly to compute.
//
// Every file is opened through the files of the attachment's history (HistoryFiles): only a regular file
// inside the history's folder is read, never a path a crafted history points elsewhere, a pipe or a device.
// It hashes files (SHA-256, cached by path, size and modification time, so a changed file is hashed anew),
// measures the playing time of audio and video (cached the same way) and makes pictures of images, videos
// and PDF attachments. One shared instance serves every export and verification of a run; it may be used
// from several threads at once: only the cache lookups hold its lock.
//
//   AttachmentMedia& media = AttachmentMedia::shared();
//   media.sha256(attachment);                           // "9f86d0…" (64 lowercase hex digits)
//   media.printablePicture(attachment, 1400, 0.82);     // a JPEG-backed picture for a PDF page
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include <tl/expected.hpp>

#include "conversations/attachment.h"
#include "core/readable_file.h"
#include "export/graphics/picture.h"

namespace quillmark {

class AttachmentMedia {
public:
    AttachmentMedia() = default;
    AttachmentMedia(const AttachmentMedia&) = delete;
    AttachmentMedia& operator=(const AttachmentMedia&) = delete;

    // The process-wide instance, made on first use.
    static AttachmentMedia& shared();

    // open: the attachment's file, opened through its history's files; a refusal when it has no path, no
    // history, or is not a regular file inside the history's folder.
    static tl::expected<ReadableFile, ReadableFile::Failure> open(const Attachment& attachment);

    // The SHA-256 of the file's bytes in lowercase hex; nothing when it cannot be opened or a read fails
    // (nothing is cached then). A digest is kept only when the file did not change while it was read.
    std::optional<std::string> sha256(const Attachment& attachment);

    // The playing time of an audio or video file in seconds; nothing when unknown.
    std::optional<double> duration(const Attachment& attachment);

    // A picture of an available image, video or PDF attachment whose longer side is at most maxPixels.
    std::optional<graphics::Picture> picture(const Attachment& attachment, int maxPixels);

    // The same picture with a JPEG of it at the quality (0 to 1) attached, for a PDF page to embed.
    std::optional<graphics::Picture> printablePicture(const Attachment& attachment, int maxPixels, double quality);

    // The cache key of an open file: "path|size|mtime", the time in the shortest text that reads back as the
    // same double, always with a fractional part ("…|5|1712345678.123456", "…|5|1712345678.0").
    static std::string cacheKey(const std::string& path, const ReadableFile& file);

private:
    std::mutex lock_;
    std::unordered_map<std::string, std::string> hashes_;
    std::unordered_map<std::string, double> durations_;
};

}  // namespace quillmark
