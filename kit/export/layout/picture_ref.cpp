#include "export/layout/picture_ref.h"

namespace quillmark {

PictureRef share(std::optional<graphics::Picture> picture) {
    if (!picture) return nullptr;
    if (picture->embedsAsJPEG()) {
        picture->rgb.clear();
        picture->rgb.shrink_to_fit();
    }
    return std::make_shared<const graphics::Picture>(std::move(*picture));
}

}  // namespace quillmark
