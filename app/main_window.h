// MainWindow: the screen for the model's state: a spinner while loading, the onboarding while the history
// cannot be read or is not there, a failure screen for a file Quillmark does not know, and otherwise the
// sidebar beside the detail pane. Its File menu opens another Messages folder and quits.
#pragma once

#include <memory>

#include <QAction>
#include <QMainWindow>
#include <QSplitter>
#include <QStackedWidget>

#include "app/access_view.h"
#include "app/app_model.h"
#include "app/detail_pane.h"
#include "app/sidebar.h"
#include "app/thumbnails.h"
#include "app/view_dates.h"

namespace quillmark::app {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    enum class Screen { loading, noAccess, missing, failed, ready };

    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

    Screen screen() const;
    Sidebar* sidebar() const { return sidebar_; }
    DetailPane* detail() const { return detail_; }
    AccessView* accessView() const { return access_; }
    MissingView* missingView() const { return missing_; }
    QAction* exportAction() const { return export_; }
    QAction* openAction() const { return open_; }
    Thumbnails& thumbnails() { return thumbnails_; }

    // "Open Messages Folder…": a folder dialog; the chosen folder is remembered and opened.
    void chooseMessagesFolder();

signals:
    // The export command was given (with a thread or several conversations chosen, and an undamaged history).
    void exportRequested();

private:
    void showState();
    void updateExport();

    AppModel& model_;
    Thumbnails thumbnails_;
    std::shared_ptr<const ViewDates> dates_;
    QStackedWidget* screens_;
    QWidget* loading_;
    AccessView* access_;
    MissingView* missing_;
    FailedView* failed_;
    QSplitter* browser_;
    Sidebar* sidebar_;
    DetailPane* detail_;
    QAction* open_;
    QAction* export_;
};

}  // namespace quillmark::app
