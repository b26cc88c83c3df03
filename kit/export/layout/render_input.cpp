#include "export/layout/render_input.h"

namespace quillmark {

PictureRef RenderInput::printablePicture(const Attachment& attachment, int maxPixels) const {
    if (pictures) {
        if (auto prepared = pictures->find(attachment, maxPixels)) return *prepared;
    }
    return share(media.printablePicture(attachment, maxPixels, pictureQuality));
}

}  // namespace quillmark
