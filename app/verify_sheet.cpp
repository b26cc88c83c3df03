#include "app/verify_sheet.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/widgets.h"

namespace quillmark::app {

VerifySheet::VerifySheet(AppModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName(QStringLiteral("verifySheet"));
    setWindowTitle(QStringLiteral("Verify an Export"));
    setWindowModality(Qt::WindowModal);
    setModal(true);
    setFixedWidth(520);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 22, 24, 20);
    pages_ = new SheetPages;
    column->addWidget(pages_);

    auto* running = new QWidget;
    running->setObjectName(QStringLiteral("checking"));
    {
        auto* layout = new QVBoxLayout(running);
        layout->setContentsMargins(0, 8, 0, 8);
        layout->setSpacing(12);
        layout->addWidget(new Spinner(32), 0, Qt::AlignHCenter);
        QLabel* heading = headingLabel(QStringLiteral("Checking every page…"), 1.2);
        layout->addWidget(heading);
        QLabel* how = secondaryLabel(
            QStringLiteral("Quillmark makes the export again from these messages and compares it, page by page."));
        how->setAlignment(Qt::AlignHCenter);
        layout->addWidget(how);
    }
    pages_->addPage(running);

    auto* result = new QWidget;
    result->setObjectName(QStringLiteral("result"));
    {
        auto* layout = new QVBoxLayout(result);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(10);
        name_ = secondaryLabel({});
        name_->setObjectName(QStringLiteral("fileName"));
        layout->addWidget(name_);
        auto* head = new QHBoxLayout;
        head->setSpacing(12);
        verdict_ = new VerdictView(true, 40);
        head->addWidget(verdict_, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(6);
        title_ = sheetHeading({});
        title_->setObjectName(QStringLiteral("outcomeTitle"));
        detail_ = textLabel({});
        detail_->setObjectName(QStringLiteral("outcomeDetail"));
        detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        texts->addWidget(title_);
        texts->addWidget(detail_);
        head->addLayout(texts, 1);
        layout->addLayout(head);
        auto* buttons = new QHBoxLayout;
        auto* another = new QPushButton(QStringLiteral("Verify Another…"));
        another->setObjectName(QStringLiteral("verifyAnother"));
        connect(another, &QPushButton::clicked, this, &VerifySheet::anotherRequested);
        auto* done = suggestedButton(QStringLiteral("Done"));
        done->setObjectName(QStringLiteral("doneButton"));
        connect(done, &QPushButton::clicked, this, &QDialog::accept);
        buttons->addWidget(another);
        buttons->addStretch();
        buttons->addWidget(done);
        layout->addSpacing(8);
        layout->addLayout(buttons);
    }
    pages_->addPage(result);

    connect(&model_, &AppModel::verifyingChanged, this, &VerifySheet::follow);
    connect(&model_, &AppModel::verifyResultChanged, this, &VerifySheet::follow);
    follow();
}

bool VerifySheet::showsResult() const { return pages_->currentIndex() == 1; }

QString VerifySheet::resultText() const { return title_->text() + QLatin1Char('\n') + detail_->text(); }

void VerifySheet::follow() {
    const auto& result = model_.verifyResult();
    const bool shown = !model_.verifying() && result.has_value();
    if (shown) {
        name_->setText(result->name);
        verdict_->setGood(result->summary.ok);
        title_->setText(QString::fromStdString(result->summary.title));
        detail_->setText(QString::fromStdString(result->summary.detail));
    }
    pages_->show(shown ? 1 : 0);
}

void VerifySheet::done(int result) {
    // Closed while it checks or after: the answer is no longer wanted.
    model_.clearVerifyResult();
    QDialog::done(result);
}

}  // namespace quillmark::app
