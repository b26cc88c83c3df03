#include "app/password_sheet.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/sheet_parts.h"
#include "app/theme.h"

namespace quillmark::app {

PasswordSheet::PasswordSheet(AppModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName(QStringLiteral("passwordSheet"));
    setWindowTitle(QStringLiteral("Encrypted iPhone Backup"));
    setWindowModality(Qt::WindowModal);
    setModal(true);
    setFixedWidth(480);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 22, 24, 20);
    column->setSpacing(10);
    column->addWidget(sheetHeading(QStringLiteral("Encrypted iPhone Backup")));
    column->addWidget(textLabel(
        QStringLiteral("This iPhone backup is encrypted. Enter the password that was set for its backups.")));
    backup_ = secondaryLabel({});
    backup_->setObjectName(QStringLiteral("backupName"));
    column->addWidget(backup_);

    field_ = new QLineEdit;
    field_->setObjectName(QStringLiteral("password"));
    field_->setEchoMode(QLineEdit::Password);
    field_->setPlaceholderText(QStringLiteral("Backup password"));
    field_->setMinimumHeight(30);
    column->addSpacing(4);
    column->addWidget(field_);

    failure_ = textLabel({});
    failure_->setObjectName(QStringLiteral("passwordFailure"));
    showFailureColour();
    column->addWidget(failure_);

    busy_ = new QWidget;
    busy_->setObjectName(QStringLiteral("unlocking"));
    {
        auto* row = new QHBoxLayout(busy_);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addWidget(new Spinner(18));
        row->addWidget(secondaryLabel(QStringLiteral("Opening the backup with this password…")), 1);
    }
    column->addWidget(busy_);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    open_ = suggestedButton(QStringLiteral("Open"));
    open_->setObjectName(QStringLiteral("openButton"));
    open_->setDefault(true);
    connect(open_, &QPushButton::clicked, this, &PasswordSheet::unlock);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(open_);
    column->addSpacing(8);
    column->addLayout(buttons);

    connect(field_, &QLineEdit::textChanged, this, &PasswordSheet::follow);
    connect(&model_, &AppModel::passwordRequestChanged, this, &PasswordSheet::follow);
    follow();
}

void PasswordSheet::unlock() {
    if (field_->text().isEmpty() || model_.passwordRequest().unlocking) return;
    const QString password = field_->text();
    field_->clear();
    model_.unlock(password);
}

void PasswordSheet::follow() {
    const AppModel::PasswordRequest& request = model_.passwordRequest();
    if (!request.asked) {
        if (isVisible()) accept();
        return;
    }
    QString about;
    for (const IPhoneBackup::Summary& backup : model_.backups()) {
        if (qt(backup.folder.string()) != model_.openedBackup()) continue;
        about = model_.backupTitle(backup);
    }
    backup_->setText(about);
    backup_->setVisible(!about.isEmpty());
    failure_->setText(request.failure);
    failure_->setVisible(!request.failure.isEmpty() && !request.unlocking);
    busy_->setVisible(request.unlocking);
    field_->setEnabled(!request.unlocking);
    open_->setEnabled(!request.unlocking && !field_->text().isEmpty());
    if (!request.unlocking && !field_->hasFocus()) field_->setFocus();
    adjustSize();
}

void PasswordSheet::showFailureColour() {
    // A red that reads on the sheet's background, light or dark.
    QPalette red = failure_->palette();
    red.setColor(QPalette::WindowText, Theme::of(palette()).dark ? QColor(0xff, 0x6b, 0x61) : QColor(0xc0, 0x1c, 0x28));
    failure_->setPalette(red);
}

void PasswordSheet::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) showFailureColour();
}

void PasswordSheet::done(int result) {
    // Cancelled while the key is derived: the answer is no longer wanted.
    if (result != Accepted) model_.cancelUnlock();
    field_->clear();
    QDialog::done(result);
}

}  // namespace quillmark::app
