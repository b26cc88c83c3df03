#include "export/layout/render_input.h"

namespace quillmark {

RenderInput::Photos RenderInput::printablePhotos(const std::vector<Attachment>& attachments, int maxPixels) const {
    Photos photos{std::vector<PictureRef>(attachments.size()), 0};
    for (size_t i = 0; i < attachments.size(); ++i) {
        const Attachment& a = attachments[i];
        if (a.isAvailable && a.kind() == AttachmentKind::image) {
            photos.pictures[i] = printablePicture(a, maxPixels);
            if (photos.pictures[i]) ++photos.count;
        }
    }
    return photos;
}

PictureRef RenderInput::printablePicture(const Attachment& attachment, int maxPixels) const {
    if (pictures) {
        if (auto prepared = pictures->find(attachment, maxPixels)) return *prepared;
    }
    return share(media.printablePicture(attachment, maxPixels, pictureQuality));
}

}  // namespace quillmark
