#include "app/main_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenuBar>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "app/widgets.h"
#include "core/locale.h"

namespace quillmark::app {

MainWindow::MainWindow(AppModel& model, QWidget* parent)
    : QMainWindow(parent),
      model_(model),
      dates_(std::make_shared<const ViewDates>(model.timeZone(), userLocale(LocaleCategory::time))) {
    setWindowTitle(QStringLiteral("Quillmark"));
    setObjectName(QStringLiteral("mainWindow"));
    resize(1200, 800);
    setMinimumSize(720, 480);

    open_ = new QAction(QStringLiteral("Open Messages Folder…"), this);
    open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open_, &QAction::triggered, this, &MainWindow::chooseMessagesFolder);
    auto* quit = new QAction(QStringLiteral("Quit Quillmark"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(open_);
    file->addSeparator();
    file->addAction(quit);

    export_ = new QAction(QStringLiteral("Export…"), this);
    export_->setObjectName(QStringLiteral("exportAction"));
    export_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(export_, &QAction::triggered, this, &MainWindow::exportRequested);
    addAction(export_);

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

    connect(&model_, &AppModel::stateChanged, this, &MainWindow::showState);
    connect(&model_, &AppModel::selectionChanged, this, &MainWindow::updateExport);
    connect(&model_, &AppModel::threadChanged, this, &MainWindow::updateExport);
    connect(&model_, &AppModel::damageChanged, this, &MainWindow::updateExport);
    showState();
    updateExport();
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

void MainWindow::chooseMessagesFolder() {
    const QString start = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Open Messages Folder"), start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) return;
    model_.openMessages(folder);
}

}  // namespace quillmark::app
