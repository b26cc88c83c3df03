// RenderInput: what a layout is given to turn one thread into blocks: the thread, the export's options,
// its fingerprint with the hash of every attachment, and the media helper for pictures and durations.
//
//   RenderInput input{thread, options, fingerprint, media};
//   BlockList blocks = RecordLayout::blocks(input, 504);
//
// The input only refers to these; they must outlive it. Pictures may have been made beforehand (see
// PrintablePictures): a layout asks the input, which takes a prepared picture when there is one and asks
// the media helper otherwise, so the blocks come out the same either way.
#pragma once

#include "conversations/message_thread.h"
#include "export/attachment_media.h"
#include "export/export_options.h"
#include "export/fingerprint.h"
#include "export/layout/picture_ref.h"
#include "export/layout/printable_pictures.h"

namespace quillmark {

struct RenderInput {
    const MessageThread& thread;
    const ExportOptions& options;
    const Fingerprint::Result& fingerprint;
    AttachmentMedia& media;
    const PrintablePictures* pictures = nullptr;  // pictures made ahead of the layout, if any

    // The JPEG quality of every picture put into a PDF.
    static constexpr double pictureQuality = 0.82;

    // printablePicture: the attachment's picture at most maxPixels on its longer side, passed through JPEG
    // at the PDF quality; null when the attachment has none.
    PictureRef printablePicture(const Attachment& attachment, int maxPixels) const;
};

}  // namespace quillmark
