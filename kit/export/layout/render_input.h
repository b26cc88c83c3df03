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

#include <functional>

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
    // Asked every few hundred messages; false stops the layout early (its blocks are then thrown away).
    const std::function<bool()>* keepGoing = nullptr;

    // stopping: whether the layout is asked to stop, looked at once in `every` calls.
    bool stopping(int& calls, int every = 256) const {
        return keepGoing && ++calls % every == 0 && !(*keepGoing)();
    }

    // The JPEG quality of every picture put into a PDF.
    static constexpr double pictureQuality = 0.82;

    // printablePicture: the attachment's picture at most maxPixels on its longer side, passed through JPEG
    // at the PDF quality; null when the attachment has none.
    PictureRef printablePicture(const Attachment& attachment, int maxPixels) const;

    // printablePhotos: the printable picture of each available image among the attachments, in their
    // order (null for the others), and how many there are: two or more make a grid.
    struct Photos {
        std::vector<PictureRef> pictures;
        size_t count = 0;
    };
    Photos printablePhotos(const std::vector<Attachment>& attachments, int maxPixels) const;
};

}  // namespace quillmark
