// ThreadView: the messages of the shown thread as a list of painted rows: no widget per row, heights
// measured once per width and laid out in batches, so that a thread of a hundred thousand messages opens at
// once and scrolls smoothly. A row's menu has "Copy" and "Copy Time" (and for an attachment "Open" and "Show
// in Folder"); double-clicking an attachment opens it.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QListView>
#include <QTimer>
#include <QStyledItemDelegate>

#include "app/message_renderer.h"
#include "app/thread_model.h"
#include "app/thumbnails.h"
#include "app/view_dates.h"

namespace quillmark::app {

class ThreadDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    ThreadDelegate(ThreadModel& model, Thumbnails& thumbnails, std::shared_ptr<const ViewDates> dates,
                   QWidget* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The attachment under a point of a row (in the row's coordinates); -1 for none.
    int attachmentAt(int row, QPointF point) const;

    // Rows measured at the current width.
    int measuredRows() const { return measured_; }

    // Forgets measured heights: the thread, the width or the font changed.
    void forget();

private:
    const MessageRenderer& renderer() const;
    int width() const;

    ThreadModel& model_;
    Thumbnails& thumbnails_;
    std::shared_ptr<const ViewDates> dates_;
    QWidget* view_;
    mutable std::unique_ptr<MessageRenderer> renderer_;
    mutable const MessageThread* rendererThread_ = nullptr;
    mutable std::vector<int> heights_;
    mutable int measuredWidth_ = -1;
    mutable int measured_ = 0;
};

class ThreadView : public QListView {
    Q_OBJECT

public:
    ThreadView(Thumbnails& thumbnails, std::shared_ptr<const ViewDates> dates, QWidget* parent = nullptr);

    void setThread(std::shared_ptr<const MessageThread> thread);
    // The dates are written otherwise now (another time zone): rows are measured and painted again.
    void datesChanged();

public slots:
    // Edit › Copy: the text of the current row (a message's text or an event's sentence).
    void copy();

public:
    ThreadModel& threadModel() { return model_; }
    ThreadDelegate& delegate() { return *delegate_; }

    // The attachment of a row at a point of the viewport, when there is one.
    const Attachment* attachmentAt(QPoint point) const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    ThreadModel model_;
    ThreadDelegate* delegate_;
    // While a long thread is laid out in batches, the list would give its scroll bar the whole length only at
    // the end; this grows it as the rows are measured, so that what is laid out can be scrolled to at once.
    QTimer growing_;
};

}  // namespace quillmark::app
