// Sidebar: the search field ("Search") over the list of conversations the search lets through. Several
// conversations may be chosen; the list's choice is the model's selection, both ways. Where the history was
// looked for in a folder of several iPhone backups, a button over the search names the one open (device and
// date) and its menu opens another; the same menu is the File menu's "iPhone Backups".
#pragma once

#include <memory>

#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QToolButton>
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
    QToolButton* backupsButton() const { return backups_; }
    QMenu* backupsMenu() const { return backupsMenu_; }

private:
    void showSelection();
    void takeSelection();
    void showBackups();

    AppModel& model_;
    ConversationListModel rows_;
    QLineEdit* search_;
    QToolButton* backups_;
    QMenu* backupsMenu_;
    QListView* list_;
    bool syncing_ = false;
};

}  // namespace quillmark::app
