// PictureRef: a decoded picture shared by the blocks that show it. Pictures are the one big thing a block
// list holds, so they are never copied: a block keeps a reference, and splitting or re-laying a block
// shares it.
#pragma once

#include <memory>
#include <optional>

#include "export/graphics/picture.h"

namespace quillmark {

using PictureRef = std::shared_ptr<const graphics::Picture>;

// share: the picture as a shared reference, nothing for none. A picture whose JPEG bytes describe it
// (a baseline or progressive JPEG of its size) is embedded from them alone, so its decoded pixels are let
// go here: a book of 500 photos would otherwise hold gigabytes of pixels that are never drawn.
PictureRef share(std::optional<graphics::Picture> picture);

}  // namespace quillmark
