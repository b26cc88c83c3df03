// Attachment: one file attached to a message, with the kind it is shown as.
//
// The kind is worked out once, when the attachment is made, from the stored MIME type, the stored uniform
// type identifier and the file name, in that order of trust:
//
//   Attachment a{"guid-1", "/home/me/Library/Messages/Attachments/ab/IMG_1.HEIC", "IMG_1.HEIC",
//                std::nullopt, "public.heic", 1'234'567, false, true};
//   a.kind() == AttachmentKind::image
//   Attachment::kind(std::nullopt, std::nullopt, "voice.CAF") == AttachmentKind::audio
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "conversations/attachment_kind.h"
#include "core/history_files.h"

namespace quillmark {

class Attachment {
public:
    std::string guid;                     // the attachment's GUID, also its identity
    std::optional<std::string> path;      // resolved file path; absent when the history names none
    std::string name;                     // display file name
    std::optional<std::string> mimeType;  // as stored
    std::optional<std::string> uti;       // as stored
    int64_t byteCount = 0;                // size as stored in the history
    bool isSticker = false;
    bool isAvailable = false;             // a regular file at `path` lies inside the history's folder
    // The files of the history the attachment belongs to: the only way its file is read. Without them the
    // file counts as not in this history.
    std::shared_ptr<const HistoryFiles> files;

    Attachment() = default;
    Attachment(std::string guid, std::optional<std::string> path, std::string name,
               std::optional<std::string> mimeType, std::optional<std::string> uti, int64_t byteCount,
               bool isSticker, bool isAvailable);

    // The kind computed when the attachment was made. It does not follow later changes of the fields.
    AttachmentKind kind() const { return kind_; }

    // kind: the first matching rule decides, comparing without regard to ASCII case: an "image/" MIME
    // type, a UTI naming an image (image, heic, jpeg, png), an image file extension; then the same three
    // for video (movie or video in the UTI) and audio; otherwise a plain file.
    static AttachmentKind kind(const std::optional<std::string>& mimeType, const std::optional<std::string>& uti,
                               std::string_view name);

    friend bool operator==(const Attachment&, const Attachment&) = default;

private:
    AttachmentKind kind_ = AttachmentKind::file;
};

}  // namespace quillmark
