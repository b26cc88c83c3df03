// BatchView: several chosen conversations: their avatars, titles and message counts, the dates that will be
// exported, and the button that exports them, one file for each.
#pragma once

#include <memory>

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QWidget>

#include "app/app_model.h"
#include "app/conversation_list_model.h"
#include "app/view_dates.h"

namespace quillmark::app {

class BatchView : public QWidget {
    Q_OBJECT

public:
    BatchView(AppModel& model, std::shared_ptr<const ViewDates> dates, QAction* exportAction, QWidget* parent = nullptr);

    QLabel* heading() const { return heading_; }
    QPushButton* exportButton() const { return export_; }
    ConversationListModel& rows() { return rows_; }

private:
    void refresh();

    AppModel& model_;
    ConversationListModel rows_;
    QLabel* heading_;
    QLabel* range_;
    QListView* list_;
    QPushButton* export_;
};

}  // namespace quillmark::app
