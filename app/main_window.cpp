#include "app/main_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include "app/widgets.h"
#include "core/locale.h"

#ifndef QUILLMARK_HELP_DIR
#define QUILLMARK_HELP_DIR ""
#endif

namespace quillmark::app {

MainWindow::MainWindow(AppModel& model, QWidget* parent)
    : QMainWindow(parent),
      model_(model),
      dates_(std::make_shared<ViewDates>(model.timeZone(), userLocale(LocaleCategory::time))) {
    setWindowTitle(QStringLiteral("Quillmark"));
    setObjectName(QStringLiteral("mainWindow"));
    resize(1200, 800);
    setMinimumSize(720, 480);
    setAcceptDrops(true);
    askForPDF = [this] {
        // The dialog has no place for a message, so its title carries it.
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("Verify — Choose a PDF exported by Quillmark to check it against this Messages history"),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QStringLiteral("PDF document (*.pdf)"));
    };

    open_ = new QAction(QStringLiteral("Open Messages Folder…"), this);
    open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open_, &QAction::triggered, this, &MainWindow::chooseMessagesFolder);
    export_ = new QAction(QStringLiteral("Export…"), this);
    export_->setObjectName(QStringLiteral("exportAction"));
    export_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(export_, &QAction::triggered, this, &MainWindow::exportRequested);
    connect(this, &MainWindow::exportRequested, this, &MainWindow::openExportSheet);

    screens_ = new QStackedWidget;
    loading_ = new QWidget;
    loading_->setObjectName(QStringLiteral("loading"));
    centredColumn(loading_, 64)->addWidget(new Spinner(36), 0, Qt::AlignHCenter);
    screens_->addWidget(loading_);

    access_ = new AccessView(model_);
    missing_ = new MissingView(model_);
    failed_ = new FailedView(model_);
    for (QWidget* screen : {static_cast<QWidget*>(access_), static_cast<QWidget*>(missing_), static_cast<QWidget*>(failed_)})
        screens_->addWidget(screen);
    connect(access_, &AccessView::openRequested, this, &MainWindow::chooseMessagesFolder);
    connect(missing_, &MissingView::openRequested, this, &MainWindow::chooseMessagesFolder);
    connect(failed_, &FailedView::openRequested, this, &MainWindow::chooseMessagesFolder);
    connect(failed_, &FailedView::passwordRequested, this, &MainWindow::askPassword);

    browser_ = new QSplitter(Qt::Horizontal);
    browser_->setObjectName(QStringLiteral("browser"));
    browser_->setChildrenCollapsible(false);
    browser_->setHandleWidth(1);
    sidebar_ = new Sidebar(model_, dates_);
    sidebar_->setMinimumWidth(240);
    detail_ = new DetailPane(model_, thumbnails_, dates_, export_);
    detail_->setMinimumWidth(380);
    browser_->addWidget(sidebar_);
    browser_->addWidget(detail_);
    browser_->setStretchFactor(0, 0);
    browser_->setStretchFactor(1, 1);
    browser_->setSizes({330, 870});
    screens_->addWidget(browser_);
    setCentralWidget(screens_);
    makeMenus();

    connect(&model_, &AppModel::stateChanged, this, &MainWindow::showState);
    connect(&model_, &AppModel::selectionChanged, this, &MainWindow::updateExport);
    connect(&model_, &AppModel::threadChanged, this, &MainWindow::updateExport);
    connect(&model_, &AppModel::damageChanged, this, &MainWindow::updateExport);
    connect(&model_, &AppModel::settingChanged, this, &MainWindow::takeSetting);
    connect(&model_, &AppModel::passwordRequestChanged, this, &MainWindow::followPasswordRequest);
    showState();
    updateExport();
}

void MainWindow::makeMenus() {
    const auto action = [this](const QString& text, const QKeySequence& keys, auto slot) {
        auto* made = new QAction(text, this);
        made->setShortcut(keys);
        connect(made, &QAction::triggered, this, slot);
        return made;
    };

    verify_ = action(QStringLiteral("Verify an Export…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V),
                     &MainWindow::verifyExport);
    verify_->setObjectName(QStringLiteral("verifyAction"));
    QAction* reload = action(QStringLiteral("Reload Messages"), QKeySequence(Qt::CTRL | Qt::Key_R), [this] { model_.reload(); });
    QAction* close = action(QStringLiteral("Close"), QKeySequence(Qt::CTRL | Qt::Key_W), &QWidget::close);
    auto* quit = new QAction(QStringLiteral("Quit Quillmark"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(open_);
    file->addMenu(sidebar_->backupsMenu());
    file->addSeparator();
    file->addAction(export_);
    file->addAction(verify_);
    file->addSeparator();
    file->addAction(reload);
    file->addSeparator();
    file->addAction(close);
    file->addAction(quit);

    // The editing commands act on the field or list that has the keyboard; a field handles its own keys
    // first, so these shortcuts reach only what has no such key of its own.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    const struct {
        const char* title;
        QKeySequence keys;
        const char* slot;
    } editing[] = {
        {"Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), "undo"},
        {"Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "redo"},
        {nullptr, {}, nullptr},
        {"Cut", QKeySequence(Qt::CTRL | Qt::Key_X), "cut"},
        {"Copy", QKeySequence(Qt::CTRL | Qt::Key_C), "copy"},
        {"Paste", QKeySequence(Qt::CTRL | Qt::Key_V), "paste"},
        {"Select All", QKeySequence(Qt::CTRL | Qt::Key_A), "selectAll"},
    };
    for (const auto& command : editing) {
        if (!command.title) {
            edit->addSeparator();
            continue;
        }
        const char* slot = command.slot;
        edit->addAction(action(QString::fromUtf8(command.title), command.keys, [this, slot] { editCommand(slot); }));
    }
    edit->addSeparator();
    QAction* settings = action(QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma),
                               [this] { openSettings(); });
    settings->setMenuRole(QAction::PreferencesRole);
    edit->addAction(settings);

    dates_menu_ = detail_->datesMenu();
    menuBar()->addMenu(dates_menu_);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Quillmark Help"), this, [] { openHelpPage(QStringLiteral("index.html")); });
    help->addAction(QStringLiteral("Privacy"), this, [] { openHelpPage(QStringLiteral("privacy.html")); });
}

void MainWindow::editCommand(const char* slot) {
    QWidget* target = QApplication::focusWidget();
    if (!target) return;
    const QByteArray signature = QByteArray(slot) + "()";
    if (target->metaObject()->indexOfMethod(signature.constData()) < 0) return;
    QMetaObject::invokeMethod(target, slot);
}

MainWindow::Screen MainWindow::screen() const {
    QWidget* current = screens_->currentWidget();
    if (current == access_) return Screen::noAccess;
    if (current == missing_) return Screen::missing;
    if (current == failed_) return Screen::failed;
    if (current == browser_) return Screen::ready;
    return Screen::loading;
}

void MainWindow::showState() {
    using Kind = AppModel::State::Kind;
    switch (model_.state().kind) {
        case Kind::loading: screens_->setCurrentWidget(loading_); break;
        case Kind::noAccess: screens_->setCurrentWidget(access_); break;
        case Kind::missing: screens_->setCurrentWidget(missing_); break;
        case Kind::failed: screens_->setCurrentWidget(failed_); break;
        case Kind::ready: screens_->setCurrentWidget(browser_); break;
    }
    const bool ready = model_.state().kind == Kind::ready;
    verify_->setEnabled(ready);
    dates_menu_->setEnabled(ready);
}

void MainWindow::updateExport() {
    const size_t chosen = model_.selection().size();
    export_->setText(chosen > 1 ? QStringLiteral("Export %1 Conversations…").arg(chosen) : QStringLiteral("Export…"));
    if (!model_.damage().isEmpty()) {
        export_->setEnabled(false);
        export_->setToolTip(model_.damage());
        return;
    }
    export_->setEnabled(chosen > 1 || (chosen == 1 && model_.thread()));
    export_->setToolTip(QStringLiteral("Export as PDF, HTML or CSV (Ctrl+E)"));
}

void MainWindow::takeSetting(const QString& key) {
    if (key != QLatin1String("timeZone")) return;
    dates_->setZone(model_.timeZone());
    sidebar_->list()->viewport()->update();
    detail_->datesChanged();
}

void MainWindow::chooseMessagesFolder() {
    const QString start = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Open Messages Folder"), start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) return;
    model_.openMessages(folder);
}

ExportSheet* MainWindow::openExportSheet() {
    if (!export_->isEnabled() || exportSheet_ || verifySheet_) return exportSheet_;
    auto* sheet = new ExportSheet(model_, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &ExportSheet::settingsRequested, this, &MainWindow::openSettings);
    exportSheet_ = sheet;
    sheet->open();
    return sheet;
}

void MainWindow::verifyExport() {
    if (!verify_->isEnabled()) return;
    const QString path = askForPDF();
    if (path.isEmpty()) return;
    verifyFile(path);
}

void MainWindow::verifyFile(const QString& path) {
    if (!verify_->isEnabled() || exportSheet_) return;
    model_.verify(path);
    if (verifySheet_) return;
    auto* sheet = new VerifySheet(model_, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &VerifySheet::anotherRequested, this, &MainWindow::verifyExport);
    verifySheet_ = sheet;
    sheet->open();
}

void MainWindow::followPasswordRequest() {
    // The sheet comes up each time a history starts asking; cancelled, it comes back from the failure screen.
    const bool asked = model_.passwordRequest().asked;
    if (asked && !passwordAsked_) askPassword();
    passwordAsked_ = asked;
}

PasswordSheet* MainWindow::askPassword() {
    if (!model_.passwordRequest().asked) return nullptr;
    if (passwordSheet_) return passwordSheet_;
    auto* sheet = new PasswordSheet(model_, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    passwordSheet_ = sheet;
    sheet->open();
    return sheet;
}

SettingsWindow* MainWindow::openSettings() {
    if (!settings_) settings_ = new SettingsWindow(model_, this);
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
    return settings_;
}

QString MainWindow::helpPage(const QString& name) {
    // Beside the program in a build tree, under share/ of the prefix it is installed in, or where the
    // build put it.
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& folder : {program.filePath(QStringLiteral("help")),
                                  program.filePath(QStringLiteral("../share/quillmark/help")),
                                  QStringLiteral(QUILLMARK_HELP_DIR)}) {
        if (folder.isEmpty()) continue;
        const QFileInfo page(QDir(folder).filePath(name));
        if (page.isFile()) return page.canonicalFilePath();
    }
    return {};
}

void MainWindow::openHelpPage(const QString& name) {
    const QString page = helpPage(name);
    if (!page.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

QString MainWindow::droppedPDF(const QMimeData* data) const {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? path : QString();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (verify_->isEnabled() && !exportSheet_ && !droppedPDF(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = droppedPDF(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    verifyFile(path);
}

}  // namespace quillmark::app
