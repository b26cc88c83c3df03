// ThreadModel: a thread's rows (time labels, events and messages) for the thread view. It keeps the thread
// while the view shows it, and tells the view which rows to repaint when a picture or a playing time of one
// of their attachments has been worked out.
#pragma once

#include <memory>
#include <vector>

#include <QAbstractListModel>
#include <QHash>

#include "app/thread_items.h"
#include "conversations/message_thread.h"

namespace quillmark::app {

class ThreadModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit ThreadModel(QObject* parent = nullptr);

    void setThread(std::shared_ptr<const MessageThread> thread);
    const std::shared_ptr<const MessageThread>& thread() const { return thread_; }
    const std::vector<ThreadItems::Item>& items() const { return items_; }
    const ThreadItems::Item& item(int row) const { return items_[size_t(row)]; }
    const Message& message(int row) const { return thread_->messages[size_t(items_[size_t(row)].message)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    // Display: the row's text for the accessibility tree and "Copy".
    QVariant data(const QModelIndex& index, int role) const override;

    // The rows showing an attachment with this file, repainted.
    void fileReady(const QString& path);

private:
    std::shared_ptr<const MessageThread> thread_;
    std::vector<ThreadItems::Item> items_;
    QHash<QString, std::vector<int>> rowsByPath_;
};

}  // namespace quillmark::app
