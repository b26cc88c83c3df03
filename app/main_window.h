// MainWindow: the screen for the model's state: a spinner while loading, the onboarding while the history
// cannot be read or is not there, a failure screen for a file Quillmark does not know, and otherwise the
// sidebar beside the detail pane. Its menus (File, Edit, Dates, Help) carry the commands with their
// shortcuts; it opens the export and verify sheets over itself and the settings window beside it, and a PDF
// dropped on it is verified.
#pragma once

#include <functional>
#include <memory>

#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>

#include "app/access_view.h"
#include "app/app_model.h"
#include "app/detail_pane.h"
#include "app/export_sheet.h"
#include "app/password_sheet.h"
#include "app/settings_window.h"
#include "app/sidebar.h"
#include "app/thumbnails.h"
#include "app/verify_sheet.h"
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
    QAction* verifyAction() const { return verify_; }
    Thumbnails& thumbnails() { return thumbnails_; }
    ExportSheet* exportSheet() const { return exportSheet_; }
    VerifySheet* verifySheet() const { return verifySheet_; }
    PasswordSheet* passwordSheet() const { return passwordSheet_; }
    SettingsWindow* settingsWindow() const { return settings_; }

    // "Open Messages Folder…": a folder dialog; the chosen folder is remembered and opened.
    void chooseMessagesFolder();
    // "Export…": the export sheet over the window, for the thread shown or the conversations chosen.
    ExportSheet* openExportSheet();
    // "Verify an Export…": asks for a PDF, then verifies it in the verify sheet.
    void verifyExport();
    // Verifies the PDF at `path` in the verify sheet (a PDF dropped on the window).
    void verifyFile(const QString& path);
    // The password sheet over the window, while the history is an encrypted backup that asks for one.
    PasswordSheet* askPassword();
    // "Settings…": the settings window, raised when it is open already.
    SettingsWindow* openSettings();
    // "Quillmark Help" and "Privacy": the page installed with the application, in the browser.
    static void openHelpPage(const QString& name);
    // The installed page of that name ("index.html", "privacy.html"); empty when there is none.
    static QString helpPage(const QString& name);

    // Asks for the PDF to verify; an empty text when cancelled. The desktop's file dialog by default.
    std::function<QString()> askForPDF;

signals:
    // The export command was given (with a thread or several conversations chosen, and an undamaged history).
    void exportRequested();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void makeMenus();
    void showState();
    void updateExport();
    void editCommand(const char* slot);
    void takeSetting(const QString& key);
    void followPasswordRequest();
    // The one local PDF file a drag carries; empty for anything else.
    QString droppedPDF(const QMimeData* data) const;

    AppModel& model_;
    Thumbnails thumbnails_;
    std::shared_ptr<ViewDates> dates_;
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
    QAction* verify_ = nullptr;
    QMenu* dates_menu_ = nullptr;
    QPointer<ExportSheet> exportSheet_;
    QPointer<VerifySheet> verifySheet_;
    QPointer<PasswordSheet> passwordSheet_;
    bool passwordAsked_ = false;
    QPointer<SettingsWindow> settings_;
};

}  // namespace quillmark::app
