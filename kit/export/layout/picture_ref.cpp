#include "export/layout/picture_ref.h"

#include <cstdint>
#include <vector>

namespace quillmark {
namespace {

// Whether the JPEG bytes alone make the picture: a baseline or progressive JPEG of exactly its size. The
// page embeds such bytes as they are and never looks at the pixels; any other picture is drawn from its
// pixels, so they must stay.
bool jpegDescribes(const std::vector<uint8_t>& bytes, int width, int height) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF) return false;
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const size_t length = size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (marker > 0xC2 || at + 9 > bytes.size()) return false;
            const int h = bytes[at + 5] << 8 | bytes[at + 6];
            const int w = bytes[at + 7] << 8 | bytes[at + 8];
            return w == width && h == height;
        }
        if (marker == 0xDA || marker == 0xD9 || length < 2) return false;
        at += 2 + length;
    }
    return false;
}

}  // namespace

PictureRef share(std::optional<graphics::Picture> picture) {
    if (!picture) return nullptr;
    if (picture->jpeg && jpegDescribes(*picture->jpeg, picture->width, picture->height)) {
        picture->rgb.clear();
        picture->rgb.shrink_to_fit();
    }
    return std::make_shared<const graphics::Picture>(std::move(*picture));
}

}  // namespace quillmark
