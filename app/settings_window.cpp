#include "app/settings_window.h"

#include <memory>

#include <unicode/strenum.h>
#include <unicode/timezone.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStandardPaths>

#include "app/qt_text.h"
#include "app/sheet_parts.h"
#include "app/widgets.h"

namespace quillmark::app {

QStringList SettingsWindow::knownZones() {
    QStringList zones;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::StringEnumeration> ids(
        icu::TimeZone::createTimeZoneIDEnumeration(UCAL_ZONE_TYPE_CANONICAL, nullptr, nullptr, status));
    if (U_FAILURE(status) || !ids) return zones;
    int32_t length = 0;
    while (const char* id = ids->next(&length, status)) {
        if (U_FAILURE(status)) break;
        zones << QString::fromLatin1(id, length);
    }
    zones.sort();
    return zones;
}

SettingsWindow::SettingsWindow(AppModel& model, QWidget* parent) : QWidget(parent, Qt::Window), model_(model) {
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(QStringLiteral("Settings"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedWidth(560);
    askForFolder = [this] {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Messages Folder"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    };
    askForContacts = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Contacts File"), QDir::homePath(),
                                            QStringLiteral("vCard file (*.vcf *.vcard)"));
    };
    auto* closeAction = new QAction(this);
    closeAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(18);

    QVBoxLayout* name = addGroup(column, QStringLiteral("Your name in exports"),
                                 QStringLiteral("How your own messages are signed in exports. Empty: the name of "
                                                "this computer's account."));
    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("meName"));
    name_->setClearButtonEnabled(true);
    const QString account = model_.defaultMeName();
    name_->setPlaceholderText(account.trimmed().isEmpty() ? QStringLiteral("You") : account);
    connect(name_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.setSetting(QStringLiteral("meName"), text); });
    name->addWidget(name_);

    QVBoxLayout* zone = addGroup(column, QStringLiteral("Times shown in"),
                                 QStringLiteral("Exports state the time zone on their first page."));
    zoneFilter_ = new QLineEdit;
    zoneFilter_->setObjectName(QStringLiteral("zoneFilter"));
    zoneFilter_->setPlaceholderText(QStringLiteral("Filter time zones"));
    zoneFilter_->setClearButtonEnabled(true);
    zone->addWidget(zoneFilter_);
    zones_ = new QListView;
    zones_->setObjectName(QStringLiteral("zoneList"));
    zones_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    zones_->setUniformItemSizes(true);
    zones_->setFixedHeight(7 * zones_->fontMetrics().height() + 24);
    QStringList names{QStringLiteral("This computer's time zone (%1)").arg(qt(model_.timeZoneFor({})))};
    names << knownZones();
    // A zone set earlier that is not canonical (an old alias) stays choosable.
    const QString stored = model_.setting(QStringLiteral("timeZone"));
    if (!stored.isEmpty() && !names.contains(stored)) names.insert(1, stored);
    zoneNames_.setStringList(names);
    zoneFiltered_.setSourceModel(&zoneNames_);
    zoneFiltered_.setFilterCaseSensitivity(Qt::CaseInsensitive);
    zones_->setModel(&zoneFiltered_);
    connect(zoneFilter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Spaces match the underscores of the identifiers ("new york" finds America/New_York). Rows the filter
        // hides move the list's current row, which is not a choice of the user's.
        {
            const QSignalBlocker quiet(zones_->selectionModel());
            zoneFiltered_.setFilterFixedString(QString(text).replace(QLatin1Char(' '), QLatin1Char('_')));
        }
        showSettings();
    });
    connect(zones_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { chooseZone(current); });
    zone->addWidget(zones_);

    QVBoxLayout* paper = addGroup(column, QStringLiteral("Paper"));
    paper_ = new QComboBox;
    paper_->setObjectName(QStringLiteral("paper"));
    paper_->addItem(QStringLiteral("Automatic (%1)").arg(AppModel::paperName(Paper::forCurrentRegion())), QString());
    paper_->addItem(QStringLiteral("US Letter"), QStringLiteral("letter"));
    paper_->addItem(QStringLiteral("A4"), QStringLiteral("a4"));
    connect(paper_, &QComboBox::activated, this,
            [this](int index) { model_.setSetting(QStringLiteral("paper"), paper_->itemData(index).toString()); });
    auto* paperRow = new QHBoxLayout;
    paperRow->addWidget(paper_);
    paperRow->addStretch();
    paper->addLayout(paperRow);

    QVBoxLayout* folder = addGroup(column, QStringLiteral("Messages folder"));
    folder_ = new QLabel;
    folder_->setObjectName(QStringLiteral("messagesFolder"));
    folder_->setTextFormat(Qt::PlainText);
    folder_->setWordWrap(true);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folder->addWidget(folder_);
    auto* folderButtons = new QHBoxLayout;
    auto* choose = new QPushButton(QStringLiteral("Choose…"));
    choose->setObjectName(QStringLiteral("chooseFolder"));
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString chosen = askForFolder();
        if (!chosen.isEmpty()) model_.openMessages(chosen);
    });
    useDefault_ = new QPushButton(QStringLiteral("Use Default"));
    useDefault_->setObjectName(QStringLiteral("useDefault"));
    connect(useDefault_, &QPushButton::clicked, this, [this] { model_.useDefaultMessages(); });
    folderButtons->addWidget(choose);
    folderButtons->addWidget(useDefault_);
    folderButtons->addStretch();
    folder->addLayout(folderButtons);

    QVBoxLayout* contacts = addGroup(column, QStringLiteral("Contacts file"),
                                     QStringLiteral("A vCard file (.vcf) exported from an address book: its names "
                                                    "add to those of the Messages history."));
    contacts_ = new QLabel;
    contacts_->setObjectName(QStringLiteral("contactsFile"));
    contacts_->setTextFormat(Qt::PlainText);
    contacts_->setWordWrap(true);
    contacts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    contacts->addWidget(contacts_);
    auto* contactsButtons = new QHBoxLayout;
    auto* chooseContacts = new QPushButton(QStringLiteral("Choose…"));
    chooseContacts->setObjectName(QStringLiteral("chooseContacts"));
    connect(chooseContacts, &QPushButton::clicked, this, [this] {
        const QString chosen = askForContacts();
        if (!chosen.isEmpty()) model_.setSetting(QStringLiteral("contactsFile"), chosen);
    });
    removeContacts_ = new QPushButton(QStringLiteral("Remove"));
    removeContacts_->setObjectName(QStringLiteral("removeContacts"));
    connect(removeContacts_, &QPushButton::clicked, this,
            [this] { model_.setSetting(QStringLiteral("contactsFile"), {}); });
    contactsButtons->addWidget(chooseContacts);
    contactsButtons->addWidget(removeContacts_);
    contactsButtons->addStretch();
    contacts->addLayout(contactsButtons);

    column->addWidget(separatorLine());
    QVBoxLayout* privacy = addGroup(column, QStringLiteral("Privacy"));
    privacy->addWidget(textLabel(QStringLiteral("Quillmark reads the Messages history read-only and keeps nothing. No "
                                                "account, no analytics; your messages never leave this computer.")));
    QLabel* build = secondaryLabel(model_.developmentBuild() ? QStringLiteral("This is a development build")
                                                             : QStringLiteral("Updates come as a new package of Quillmark."));
    build->setObjectName(QStringLiteral("buildNote"));
    privacy->addWidget(build);
    column->addStretch();

    connect(&model_, &AppModel::settingChanged, this, &SettingsWindow::showSettings);
    connect(&model_, &AppModel::stateChanged, this, &SettingsWindow::showFolder);
    showSettings();
}

QVBoxLayout* SettingsWindow::addGroup(QVBoxLayout* column, const QString& title, const QString& help) {
    auto* group = new QVBoxLayout;
    group->setSpacing(6);
    auto* heading = new QLabel(title);
    heading->setFont(scaledFont(heading->font(), 1.0, QFont::Bold));
    group->addWidget(heading);
    auto* content = new QVBoxLayout;
    content->setSpacing(6);
    group->addLayout(content);
    if (!help.isEmpty()) {
        QLabel* note = secondaryLabel(help);
        note->setFont(scaledFont(note->font(), 0.92));
        group->addWidget(note);
    }
    column->addLayout(group);
    return content;
}

void SettingsWindow::showSettings() {
    const QString name = model_.setting(QStringLiteral("meName"));
    if (name_->text() != name) name_->setText(name);

    const QString zone = model_.setting(QStringLiteral("timeZone"));
    const int row = zone.isEmpty() ? 0 : std::max(0, int(zoneNames_.stringList().indexOf(zone)));
    const QModelIndex shown = zoneFiltered_.mapFromSource(zoneNames_.index(row));
    if (zones_->currentIndex() != shown) {
        const QSignalBlocker quiet(zones_->selectionModel());
        if (shown.isValid()) {
            zones_->setCurrentIndex(shown);
            zones_->scrollTo(shown, QAbstractItemView::PositionAtCenter);
        } else {
            zones_->selectionModel()->clear();
        }
        zones_->viewport()->update();
    }

    const int paper = paper_->findData(model_.setting(QStringLiteral("paper")));
    paper_->setCurrentIndex(paper < 0 ? 0 : paper);
    showFolder();
}

void SettingsWindow::showFolder() {
    const QString chosen = model_.setting(QStringLiteral("messagesFolder"));
    folder_->setText(chosen.isEmpty() ? QStringLiteral("Default: ") + QFileInfo(model_.defaultMessagesPath()).absolutePath()
                                      : chosen);
    useDefault_->setEnabled(!chosen.isEmpty());
    const QString contacts = model_.setting(QStringLiteral("contactsFile"));
    contacts_->setText(contacts.isEmpty() ? QStringLiteral("None") : contacts);
    removeContacts_->setEnabled(!contacts.isEmpty());
}

void SettingsWindow::chooseZone(const QModelIndex& index) {
    if (!index.isValid()) return;
    const int row = zoneFiltered_.mapToSource(index).row();
    model_.setSetting(QStringLiteral("timeZone"), row == 0 ? QString() : zoneNames_.stringList().value(row));
}

}  // namespace quillmark::app
