#include "conversations/attachment.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

struct KindCase {
    std::optional<std::string> mime;
    std::optional<std::string> uti;
    std::string name;
    AttachmentKind expected;
};

TEST(AttachmentKindRules, FirstMatchingRuleDecides) {
    const KindCase cases[] = {
        {std::nullopt, "public.jpeg", "IMG_0001", AttachmentKind::image},
        {std::nullopt, "com.apple.quicktime-movie", "clip", AttachmentKind::video},
        {std::nullopt, std::nullopt, "voice.CAF", AttachmentKind::audio},
        {"IMAGE/HEIC", std::nullopt, "x", AttachmentKind::image},
        {"video/mp4", "public.mpeg-4", "x.mp4", AttachmentKind::video},
        {"audio/amr", std::nullopt, "x", AttachmentKind::audio},
        {std::nullopt, "public.mp3", "x", AttachmentKind::file},  // "audio" is not in this UTI
        {std::nullopt, "com.apple.coreaudio-format", "x", AttachmentKind::audio},
        {std::nullopt, std::nullopt, "photo.backup.HEIF", AttachmentKind::image},
        {std::nullopt, std::nullopt, "movie.M4V", AttachmentKind::video},
        {std::nullopt, std::nullopt, "jpg", AttachmentKind::file},  // a name without a point has no extension
        {std::nullopt, std::nullopt, ".png", AttachmentKind::image},
        {std::nullopt, std::nullopt, "archive.png.zip", AttachmentKind::file},
        // Earlier rules win over later ones, whatever the kind.
        {"audio/mpeg", "public.png", "x.mov", AttachmentKind::image},
        {"video/quicktime", std::nullopt, "x.jpg", AttachmentKind::image},
        {"application/octet-stream", "public.movie", "x.mp3", AttachmentKind::video},
        {"", "", "", AttachmentKind::file},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Attachment::kind(c.mime, c.uti, c.name), c.expected)
            << c.mime.value_or("-") << " " << c.uti.value_or("-") << " " << c.name;
}

}  // namespace
}  // namespace quillmark
