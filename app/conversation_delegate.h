// ConversationDelegate: paints one conversation of a list: the avatar, the title, the short date of the last
// message, the last snippet and the message count. The compact form (the batch panel) has the avatar, the
// title and the count on one row.
#pragma once

#include <memory>

#include <QStyledItemDelegate>

#include "app/app_model.h"
#include "app/view_dates.h"

namespace quillmark::app {

class ConversationDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    ConversationDelegate(AppModel& model, std::shared_ptr<const ViewDates> dates, bool compact,
                         QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // "1 message", "1,234 messages".
    static QString messageCount(int64_t count);

private:
    AppModel& model_;
    std::shared_ptr<const ViewDates> dates_;
    bool compact_;
};

}  // namespace quillmark::app
