// Sidebar: the search field ("Search") over the list of conversations the search lets through. Several
// conversations may be chosen; the list's choice is the model's selection, both ways.
#pragma once

#include <memory>

#include <QLineEdit>
#include <QListView>
#include <QWidget>

#include "app/app_model.h"
#include "app/conversation_list_model.h"
#include "app/view_dates.h"

namespace quillmark::app {

class Sidebar : public QWidget {
    Q_OBJECT

public:
    Sidebar(AppModel& model, std::shared_ptr<const ViewDates> dates, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return search_; }
    QListView* list() const { return list_; }
    ConversationListModel& listModel() { return rows_; }

private:
    void showSelection();
    void takeSelection();

    AppModel& model_;
    ConversationListModel rows_;
    QLineEdit* search_;
    QListView* list_;
    bool syncing_ = false;
};

}  // namespace quillmark::app
