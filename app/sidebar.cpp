#include "app/sidebar.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QVBoxLayout>

#include "app/conversation_delegate.h"
#include "app/qt_text.h"
#include "app/symbols.h"
#include "app/theme.h"

namespace quillmark::app {

Sidebar::Sidebar(AppModel& model, std::shared_ptr<const ViewDates> dates, QWidget* parent)
    : QWidget(parent), model_(model), rows_(model, [&model] { return model.filtered(); }) {
    setObjectName(QStringLiteral("sidebar"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(6);

    backupsMenu_ = new QMenu(QStringLiteral("iPhone Backups"), this);
    backupsMenu_->setObjectName(QStringLiteral("backupsMenu"));
    backups_ = new QToolButton;
    backups_->setObjectName(QStringLiteral("backups"));
    backups_->setMenu(backupsMenu_);
    backups_->setPopupMode(QToolButton::InstantPopup);
    backups_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    backups_->setAutoRaise(true);
    backups_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    backups_->setToolTip(QStringLiteral("Other iPhone backups in this folder"));
    auto* backupsRow = new QHBoxLayout;
    backupsRow->setContentsMargins(8, 0, 8, 0);
    backupsRow->addWidget(backups_);
    layout->addLayout(backupsRow);
    connect(&model_, &AppModel::backupsChanged, this, &Sidebar::showBackups);
    connect(&model_, &AppModel::stateChanged, this, &Sidebar::showBackups);
    showBackups();

    search_ = new QLineEdit;
    search_->setObjectName(QStringLiteral("search"));
    search_->setPlaceholderText(QStringLiteral("Search"));
    search_->setClearButtonEnabled(true);
    search_->addAction(Symbols::icon(Symbol::search, Theme::of(palette()).secondaryText), QLineEdit::LeadingPosition);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(8, 0, 8, 0);
    searchRow->addWidget(search_);
    layout->addLayout(searchRow);

    list_ = new QListView;
    list_->setObjectName(QStringLiteral("conversations"));
    list_->setModel(&rows_);
    list_->setItemDelegate(new ConversationDelegate(model, std::move(dates), false, list_));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setUniformItemSizes(true);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->viewport()->setAttribute(Qt::WA_Hover);
    list_->setAutoFillBackground(false);
    list_->viewport()->setAutoFillBackground(false);
    layout->addWidget(list_, 1);

    connect(search_, &QLineEdit::textChanged, &model_, &AppModel::setSearch);
    connect(&model_, &AppModel::searchChanged, this, [this] {
        if (search_->text() != model_.search()) search_->setText(model_.search());
    });
    // A new list of rows clears the view's choice; that is no choice of the user's, so it does not reach the model.
    const auto refresh = [this] {
        syncing_ = true;
        rows_.refresh();
        syncing_ = false;
        showSelection();
    };
    connect(&model_, &AppModel::filteredChanged, this, refresh);
    connect(&model_, &AppModel::conversationsChanged, this, refresh);
    connect(&model_, &AppModel::selectionChanged, this, &Sidebar::showSelection);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Sidebar::takeSelection);
    showSelection();
}

void Sidebar::showSelection() {
    syncing_ = true;
    QItemSelection chosen;
    int first = -1;
    for (const QString& id : model_.selection()) {
        const int row = rows_.row(id);
        if (row < 0) continue;
        chosen.select(rows_.index(row), rows_.index(row));
        if (first < 0 || row < first) first = row;
    }
    list_->selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
    if (first >= 0) list_->selectionModel()->setCurrentIndex(rows_.index(first), QItemSelectionModel::NoUpdate);
    syncing_ = false;
}

void Sidebar::takeSelection() {
    if (syncing_) return;
    std::set<QString> selection;
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes())
        selection.insert(index.data(ConversationListModel::IdRole).toString());
    model_.setSelection(std::move(selection));
}

void Sidebar::showBackups() {
    backupsMenu_->clear();
    const auto& backups = model_.backups();
    const QString opened = model_.openedBackup();
    QString current;
    for (const IPhoneBackup::Summary& backup : backups) {
        const QString folder = qt(backup.folder.string());
        const QString title = model_.backupTitle(backup);
        QAction* action = backupsMenu_->addAction(title);
        action->setCheckable(true);
        action->setChecked(folder == opened);
        if (folder == opened) current = title;
        connect(action, &QAction::triggered, this, [this, folder] {
            if (folder != model_.openedBackup()) model_.openBackup(folder);
        });
    }
    // One backup alone leaves nothing to choose.
    const bool several = backups.size() > 1;
    backupsMenu_->menuAction()->setVisible(several);
    backups_->setVisible(several);
    backups_->setText(current);
}

}  // namespace quillmark::app
