#include "app/thread_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QResizeEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include "app/desktop.h"
#include "app/qt_text.h"
#include "app/theme.h"

namespace quillmark::app {

// --- delegate

ThreadDelegate::ThreadDelegate(ThreadModel& model, Thumbnails& thumbnails, std::shared_ptr<const ViewDates> dates,
                               QWidget* view)
    : QStyledItemDelegate(view), model_(model), thumbnails_(thumbnails), dates_(std::move(dates)), view_(view) {}

const MessageRenderer& ThreadDelegate::renderer() const {
    // Made once per thread, font and palette: rows are measured a hundred thousand times.
    if (!renderer_ || rendererThread_ != model_.thread().get()) {
        MessageRenderer::Context context;
        context.thread = model_.thread().get();
        context.dates = dates_.get();
        context.thumbnails = &thumbnails_;
        context.font = view_->font();
        context.theme = Theme::of(view_->palette());
        renderer_ = std::make_unique<MessageRenderer>(std::move(context));
        rendererThread_ = model_.thread().get();
    }
    return *renderer_;
}

int ThreadDelegate::width() const {
    const auto* list = qobject_cast<const QAbstractScrollArea*>(view_);
    return list ? list->viewport()->width() : view_->width();
}

void ThreadDelegate::forget() {
    renderer_.reset();
    heights_.clear();
    measured_ = 0;
    measuredWidth_ = -1;
}

QSize ThreadDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    const int w = width();
    if (!model_.thread() || index.row() >= int(model_.items().size())) return {w, 0};
    if (w != measuredWidth_ || heights_.size() != model_.items().size()) {
        heights_.assign(model_.items().size(), -1);
        measuredWidth_ = w;
        measured_ = 0;
    }
    int& height = heights_[size_t(index.row())];
    if (height < 0) {
        height = renderer().layout(model_.item(index.row()), w, nullptr, nullptr);
        ++measured_;
    }
    return {w, height};
}

void ThreadDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!model_.thread() || index.row() >= int(model_.items().size())) return;
    renderer().layout(model_.item(index.row()), option.rect.width(), painter, nullptr, option.rect.topLeft());
}

int ThreadDelegate::attachmentAt(int row, QPointF point) const {
    if (!model_.thread() || row < 0 || row >= int(model_.items().size())) return -1;
    std::vector<MessageRenderer::Hit> hits;
    renderer().layout(model_.item(row), width(), nullptr, &hits);
    for (const MessageRenderer::Hit& hit : hits)
        if (hit.rect.contains(point)) return hit.attachment;
    return -1;
}

// --- view

ThreadView::ThreadView(Thumbnails& thumbnails, std::shared_ptr<const ViewDates> dates, QWidget* parent)
    : QListView(parent) {
    setObjectName(QStringLiteral("threadView"));
    delegate_ = new ThreadDelegate(model_, thumbnails, std::move(dates), this);
    setModel(&model_);
    setItemDelegate(delegate_);
    setLayoutMode(QListView::Batched);
    setBatchSize(100);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    setSpacing(0);
    setMouseTracking(false);
    verticalScrollBar()->setSingleStep(24);
    connect(&thumbnails, &Thumbnails::loaded, &model_, &ThreadModel::fileReady);
    growing_.setInterval(250);
    connect(&growing_, &QTimer::timeout, this, [this] {
        updateGeometries();
        if (delegate_->measuredRows() >= model_.rowCount()) growing_.stop();
    });
}

void ThreadView::setThread(std::shared_ptr<const MessageThread> thread) {
    if (thread == model_.thread()) return;
    delegate_->forget();
    model_.setThread(std::move(thread));
    scrollToTop();
    growing_.start();
}

void ThreadView::datesChanged() {
    delegate_->forget();
    scheduleDelayedItemsLayout();
    growing_.start();
    viewport()->update();
}

namespace {

// What "Copy" puts on the clipboard for a row: a message's text or an event's sentence; nothing for a time.
QString rowText(const ThreadModel& model, int row) {
    const ThreadItems::Item& item = model.item(row);
    if (item.kind == ThreadItems::Item::Kind::time) return {};
    const Message& message = model.message(row);
    return item.kind == ThreadItems::Item::Kind::event ? qt(message.event.value_or("")) : qt(message.text);
}

}  // namespace

void ThreadView::copy() {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return;
    const QString text = rowText(model_, current.row());
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

const Attachment* ThreadView::attachmentAt(QPoint point) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid() || model_.item(index.row()).kind != ThreadItems::Item::Kind::message) return nullptr;
    const QRect rect = visualRect(index);
    const int attachment = delegate_->attachmentAt(index.row(), QPointF(point - rect.topLeft()));
    if (attachment < 0) return nullptr;
    return &model_.message(index.row()).attachments[size_t(attachment)];
}

void ThreadView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid()) return;
    const Message& message = model_.message(index.row());
    QMenu menu(this);
    const QString text = rowText(model_, index.row());
    QAction* copy = menu.addAction(QStringLiteral("Copy"), [text] { QApplication::clipboard()->setText(text); });
    copy->setEnabled(!text.isEmpty());
    const Date date = message.date;
    menu.addAction(QStringLiteral("Copy Time"),
                   [date] { QApplication::clipboard()->setText(ViewDates::exactTime(date)); });
    if (const Attachment* attachment = attachmentAt(event->pos())) {
        menu.addSeparator();
        const QString path = attachment->path ? qt(*attachment->path) : QString();
        QAction* open = menu.addAction(QStringLiteral("Open"), [path] { Desktop::open(path); });
        QAction* show = menu.addAction(QStringLiteral("Show in Folder"), [path] { Desktop::showInFolder(path); });
        open->setEnabled(attachment->isAvailable);
        show->setEnabled(attachment->isAvailable);
    }
    menu.exec(event->globalPos());
}

void ThreadView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (const Attachment* attachment = attachmentAt(event->position().toPoint());
        attachment && attachment->isAvailable && attachment->path) {
        Desktop::open(qt(*attachment->path));
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

bool ThreadView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const Attachment* attachment = attachmentAt(help->pos())) {
            QToolTip::showText(help->globalPos(), MessageRenderer::attachmentHelp(*attachment), viewport());
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QListView::viewportEvent(event);
}

void ThreadView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    // Heights depend on the width, but a list flowing top to bottom lays its rows out again only when its
    // height changes; a new width (the scroll bar coming or going included) needs a new layout too.
    if (event->size().width() != event->oldSize().width()) {
        delegate_->forget();
        scheduleDelayedItemsLayout();
        growing_.start();
    }
}

void ThreadView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) delegate_->forget();
    if (event->type() == QEvent::FontChange) {
        delegate_->forget();
        scheduleDelayedItemsLayout();
        growing_.start();
    }
    QListView::changeEvent(event);
}

}  // namespace quillmark::app
