#include "export/graphics/page_context.h"

namespace quillmark::graphics {

EmojiPictures::~EmojiPictures() {
    for (auto& [key, picture] : pictures_) {
        if (picture.surface) cairo_surface_destroy(picture.surface);
    }
}

const EmojiPictures::Picture* EmojiPictures::find(const std::string& key) const {
    auto found = pictures_.find(key);
    return found == pictures_.end() ? nullptr : &found->second;
}

const EmojiPictures::Picture& EmojiPictures::insert(const std::string& key, Picture picture) {
    auto [at, inserted] = pictures_.emplace(key, picture);
    if (!inserted && picture.surface) cairo_surface_destroy(picture.surface);
    return at->second;
}

}  // namespace quillmark::graphics
