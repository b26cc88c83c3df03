#include "conversations/attachment_kind.h"

namespace quillmark {

std::string_view AttachmentKind::rawValue() const {
    switch (value_) {
        case image:
            return "image";
        case video:
            return "video";
        case audio:
            return "audio";
        case file:
            return "file";
    }
    return "file";
}

std::optional<AttachmentKind> AttachmentKind::fromRaw(std::string_view raw) {
    for (Value v : {image, video, audio, file})
        if (AttachmentKind(v).rawValue() == raw) return AttachmentKind(v);
    return std::nullopt;
}

}  // namespace quillmark
