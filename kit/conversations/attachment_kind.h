// AttachmentKind: what an attachment is shown as: a picture, a video, a sound or a plain file.
//
// A small class around an enumeration so that it carries its stored text with it:
//   AttachmentKind kind = AttachmentKind::image;
//   kind.rawValue() == "image";  AttachmentKind::fromRaw("video") == AttachmentKind::video
//   switch (kind.value()) { case AttachmentKind::image: ... }
#pragma once

#include <optional>
#include <string_view>

namespace quillmark {

class AttachmentKind {
public:
    enum Value { image, video, audio, file };

    constexpr AttachmentKind() = default;
    constexpr AttachmentKind(Value value) : value_(value) {}  // implicit, so cases read as values

    constexpr Value value() const { return value_; }

    // "image", "video", "audio" or "file": the text the kind is stored and serialised as.
    std::string_view rawValue() const;

    // The kind stored as that text; absent for any other text.
    static std::optional<AttachmentKind> fromRaw(std::string_view raw);

    friend constexpr bool operator==(AttachmentKind, AttachmentKind) = default;

private:
    Value value_ = file;
};

}  // namespace quillmark
