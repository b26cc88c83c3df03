#include "conversations/attachment.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/text.h"

namespace quillmark {

namespace {

template <size_t N>
bool containsAny(std::string_view text, const std::array<std::string_view, N>& words) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return text.find(w) != text.npos; });
}

template <size_t N>
bool isOneOf(std::string_view text, const std::array<std::string_view, N>& words) {
    return std::find(words.begin(), words.end(), text) != words.end();
}

// The part after the last point, or nothing when the name has no point.
std::string_view extension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

constexpr std::array<std::string_view, 4> imageUTIWords = {"image", "heic", "jpeg", "png"};
constexpr std::array<std::string_view, 8> imageExtensions = {"jpg", "jpeg", "png", "heic", "heif", "gif", "tiff", "webp"};
constexpr std::array<std::string_view, 2> videoUTIWords = {"movie", "video"};
constexpr std::array<std::string_view, 3> videoExtensions = {"mov", "mp4", "m4v"};
constexpr std::array<std::string_view, 1> audioUTIWords = {"audio"};
constexpr std::array<std::string_view, 6> audioExtensions = {"caf", "m4a", "mp3", "amr", "wav", "aac"};

}  // namespace

Attachment::Attachment(std::string guid_, std::optional<std::string> path_, std::string name_,
                       std::optional<std::string> mimeType_, std::optional<std::string> uti_, int64_t byteCount_,
                       bool isSticker_, bool isAvailable_)
    : guid(std::move(guid_)),
      path(std::move(path_)),
      name(std::move(name_)),
      mimeType(std::move(mimeType_)),
      uti(std::move(uti_)),
      byteCount(byteCount_),
      isSticker(isSticker_),
      isAvailable(isAvailable_),
      kind_(kind(mimeType, uti, name)) {}

AttachmentKind Attachment::kind(const std::optional<std::string>& mimeType, const std::optional<std::string>& uti,
                                std::string_view name) {
    // Only ASCII letters can change the outcome: no other character lower-cases into the ASCII words
    // compared against.
    const std::string mime = text::asciiLower(mimeType.value_or(""));
    const std::string type = text::asciiLower(uti.value_or(""));
    const std::string ext = text::asciiLower(extension(name));

    if (mime.starts_with("image/")) return AttachmentKind::image;
    if (containsAny(type, imageUTIWords)) return AttachmentKind::image;
    if (isOneOf(ext, imageExtensions)) return AttachmentKind::image;
    if (mime.starts_with("video/")) return AttachmentKind::video;
    if (containsAny(type, videoUTIWords)) return AttachmentKind::video;
    if (isOneOf(ext, videoExtensions)) return AttachmentKind::video;
    if (mime.starts_with("audio/")) return AttachmentKind::audio;
    if (containsAny(type, audioUTIWords)) return AttachmentKind::audio;
    if (isOneOf(ext, audioExtensions)) return AttachmentKind::audio;
    return AttachmentKind::file;
}

}  // namespace quillmark
