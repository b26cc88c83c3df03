// PrintablePictures: the pictures of an export's attachments, made ahead of the layout on several
// threads. Decoding photos is most of the time a book export takes, and it parallelises well; the layout
// itself then runs on one thread and finds every picture ready.
//
//   PrintablePictures pictures;
//   pictures.prepare(requests, media, 2);                    // two threads
//   PictureRef p = pictures.find(attachment, 1400);          // null when not prepared
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversations/attachment.h"
#include "export/attachment_media.h"
#include "export/layout/picture_ref.h"

namespace quillmark {

class PrintablePictures {
public:
    struct Request {
        const Attachment* attachment;
        int maxPixels;
    };

    // prepare: makes the printable picture of every request (at `quality`) with up to `threads` threads and
    // keeps them, including the answer "no picture". Requests for the same file and size are made once.
    void prepare(const std::vector<Request>& requests, AttachmentMedia& media, double quality, int threads);

    // find: the prepared answer for the attachment at that size: a picture or null; nothing when it was
    // not prepared.
    std::optional<PictureRef> find(const Attachment& attachment, int maxPixels) const;

    size_t size() const { return pictures_.size(); }

private:
    static std::string key(const Attachment& attachment, int maxPixels);
    std::map<std::string, PictureRef> pictures_;
};

}  // namespace quillmark
