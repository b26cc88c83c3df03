// MessageRenderer: lays out and paints one row of the thread view: a time label, a group event, or a message
// with everything that stands on it (the sender's name in groups, the message it replies to, the bubble, an
// unsent or audio message, attachments, earlier versions of an edit, the send effect and the reactions).
//
// Measuring and painting are one walk over the row, so that the height a row is given is exactly the height
// it paints. Without a painter the walk only measures.
//
//   MessageRenderer renderer(context);
//   const int height = renderer.layout(item, width, nullptr, nullptr);
//   renderer.layout(item, width, &painter, &hits);     // paints, and says where the attachments are
#pragma once

#include <memory>
#include <vector>

#include <QFont>
#include <QPainter>
#include <QRectF>

#include "app/theme.h"
#include "app/thread_items.h"
#include "app/thumbnails.h"
#include "app/view_dates.h"
#include "conversations/message_thread.h"

namespace quillmark::app {

class MessageRenderer {
public:
    // Where something that answers the mouse lies in a row.
    struct Hit {
        QRectF rect;
        int attachment = -1;  // index into the message's attachments
    };

    struct Context {
        const MessageThread* thread = nullptr;
        const ViewDates* dates = nullptr;
        Thumbnails* thumbnails = nullptr;  // may be absent: pictures then stay placeholders
        QFont font;
        Theme theme;
    };

    explicit MessageRenderer(Context context);

    // The row's height at that width; paints it at `origin` when a painter is given.
    int layout(const ThreadItems::Item& item, int width, QPainter* painter, std::vector<Hit>* hits,
               QPointF origin = {}) const;

    // The text of a row's help for the attachment under the mouse: the file's name and, for files that are
    // opened by double-clicking, " — double-click to open".
    static QString attachmentHelp(const Attachment& attachment);

    // The words under a file attachment: its size and, for audio and video, its playing time; "Not in this
    // history" when its file is not.
    static QString fileDetail(const Attachment& attachment, std::optional<double> duration);

    // The height of pictures and stickers in the thread.
    static constexpr int pictureHeight = 200;
    static constexpr int stickerHeight = 110;

private:
    Context context_;
    QFont caption_;
    QFont captionBold_;
    QFont fileName_;
};

}  // namespace quillmark::app
