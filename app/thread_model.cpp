#include "app/thread_model.h"

#include "app/qt_text.h"

namespace quillmark::app {

ThreadModel::ThreadModel(QObject* parent) : QAbstractListModel(parent) {}

void ThreadModel::setThread(std::shared_ptr<const MessageThread> thread) {
    beginResetModel();
    thread_ = std::move(thread);
    items_ = thread_ ? ThreadItems::make(*thread_) : std::vector<ThreadItems::Item>{};
    rowsByPath_.clear();
    for (size_t row = 0; row < items_.size(); ++row) {
        if (items_[row].kind != ThreadItems::Item::Kind::message) continue;
        for (const Attachment& attachment : thread_->messages[size_t(items_[row].message)].attachments)
            if (attachment.path && attachment.isAvailable) rowsByPath_[qt(*attachment.path)].push_back(int(row));
    }
    endResetModel();
}

int ThreadModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(items_.size()); }

QVariant ThreadModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(items_.size()) || role != Qt::DisplayRole) return {};
    const ThreadItems::Item& item = items_[size_t(index.row())];
    const Message& shown = message(index.row());
    switch (item.kind) {
        case ThreadItems::Item::Kind::time: return QString();
        case ThreadItems::Item::Kind::event: return qt(*shown.event);
        case ThreadItems::Item::Kind::message: return qt(shown.text);
    }
    return {};
}

void ThreadModel::fileReady(const QString& path) {
    const auto found = rowsByPath_.find(path);
    if (found == rowsByPath_.end()) return;
    for (const int row : *found) emit dataChanged(index(row), index(row));
}

}  // namespace quillmark::app
