#include "app/access_view.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/desktop.h"
#include "app/theme.h"
#include "app/widgets.h"

namespace quillmark::app {

namespace {

// A step's number in a circle.
class StepNumber : public QWidget {
public:
    explicit StepNumber(int number, QWidget* parent = nullptr) : QWidget(parent), number_(number) { setFixedSize(28, 28); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const Theme theme = Theme::of(palette());
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme.accent);
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        painter.setPen(theme.onAccent);
        painter.setFont(scaledFont(font(), 1.0, QFont::Bold));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(number_));
    }

private:
    int number_;
};

// A numbered step: the number beside its content.
QWidget* step(int number, QWidget* content) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->addWidget(new StepNumber(number), 0, Qt::AlignTop);
    layout->addWidget(content, 1);
    return row;
}

// The application's symbol: a speech bubble with a quill's stroke in it.
class AppSymbol : public QWidget {
public:
    AppSymbol() { setFixedSize(72, 72); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const Theme theme = Theme::of(palette());
        QLinearGradient fill(0, 0, 0, height());
        fill.setColorAt(0, theme.accent.lighter(118));
        fill.setColorAt(1, theme.accent.darker(108));
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 16, 16);
        Symbols::draw(painter, Symbol::chats, QRectF(rect()).adjusted(14, 14, -14, -14), Qt::white);
    }
};

}  // namespace

AccessView::AccessView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("accessView"));
    QVBoxLayout* column = centredColumn(this, 560);
    column->setSpacing(14);
    column->addWidget(new AppSymbol, 0, Qt::AlignHCenter);
    column->addWidget(headingLabel(QStringLiteral("Allow Quillmark to read your messages")));
    QLabel* intro = textLabel(QStringLiteral(
        "Quillmark opens the Messages history on this computer read-only, to show and export your conversations. "
        "Nothing leaves this computer: no account, nothing collected, and your messages never go to the internet."));
    intro->setAlignment(Qt::AlignHCenter);
    column->addWidget(intro);
    column->addSpacing(10);

    auto* first = new QWidget;
    auto* firstLayout = new QVBoxLayout(first);
    firstLayout->setContentsMargins(0, 3, 0, 0);
    refused_ = textLabel({}, true);
    refused_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    firstLayout->addWidget(refused_);
    auto* showFolder = new QPushButton(QStringLiteral("Show Folder"));
    showFolder->setObjectName(QStringLiteral("showFolder"));
    connect(showFolder, &QPushButton::clicked, this, [this] { Desktop::showInFolder(model_.messagesPath()); });
    firstLayout->addWidget(showFolder, 0, Qt::AlignLeft);
    auto* steps = new Card;
    auto* stepsLayout = new QVBoxLayout(steps);
    stepsLayout->setContentsMargins(18, 16, 18, 16);
    stepsLayout->setSpacing(16);
    stepsLayout->addWidget(step(1, first));

    QLabel* second = textLabel(QStringLiteral(
                                   "Make it readable for your account (its owner can run <b>chmod -R u+rX</b> on the "
                                   "folder), or copy it into your home folder and open the copy."),
                               true);
    second->setContentsMargins(0, 3, 0, 0);
    stepsLayout->addWidget(step(2, second));
    QLabel* third = textLabel(QStringLiteral("Come back here — Quillmark goes on by itself."));
    third->setContentsMargins(0, 3, 0, 0);
    stepsLayout->addWidget(step(3, third));
    column->addWidget(steps);

    hint_ = new QWidget;
    hint_->setObjectName(QStringLiteral("stillRefusedHint"));
    auto* hintLayout = new QHBoxLayout(hint_);
    hintLayout->setContentsMargins(0, 10, 0, 0);
    hintLayout->addStretch();
    QLabel* still = textLabel(QStringLiteral("Still can't read it?"));
    still->setForegroundRole(QPalette::PlaceholderText);
    hintLayout->addWidget(still);
    auto* open = new QPushButton(QStringLiteral("Open Messages Folder…"));
    connect(open, &QPushButton::clicked, this, &AccessView::openRequested);
    hintLayout->addWidget(open);
    hintLayout->addStretch();
    column->addWidget(hint_);
    hint_->setVisible(false);
    // The hint's room is kept while it is hidden, so that the steps do not move when it appears.
    QSizePolicy keep = hint_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    hint_->setSizePolicy(keep);

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &AccessView::tick);
    connect(&model_, &AppModel::stateChanged, this, &AccessView::showPath);
    showPath();
}

void AccessView::showPath() {
    refused_->setText(QStringLiteral("This account can't read <b>%1</b>.").arg(model_.messagesPath().toHtmlEscaped()));
}

void AccessView::showEvent(QShowEvent* event) {
    shownAt_ = clock_();
    waited_ = false;
    hint_->setVisible(false);
    timer_.start();
    QWidget::showEvent(event);
}

void AccessView::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

void AccessView::tick() {
    if (waited_ || clock_() - shownAt_ < hintDelay) return;
    waited_ = true;
    timer_.stop();
    hint_->setVisible(true);
}

MissingView::MissingView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("missingView"));
    QVBoxLayout* column = centredColumn(this, 520);
    column->addWidget(new SymbolView(Symbol::chats, 64), 0, Qt::AlignHCenter);
    column->addWidget(headingLabel(QStringLiteral("No Messages history here yet")));
    QLabel* text = textLabel(QStringLiteral(
        "Quillmark reads the Messages history that a Mac keeps in Library/Messages in your home folder. Copy that "
        "folder to this computer (and Library/Application Support/AddressBook for names), then open it here."));
    text->setAlignment(Qt::AlignHCenter);
    column->addWidget(text);
    QLabel* backup = textLabel(QStringLiteral(
        "No Mac? Make an iPhone backup on this computer: connect the iPhone and run idevicebackup2 backup --full "
        "FOLDER (Debian package libimobiledevice-utils), then open that folder here."));
    backup->setObjectName(QStringLiteral("backupHint"));
    backup->setAlignment(Qt::AlignHCenter);
    backup->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(backup);
    path_ = smallLabel({});
    path_->setAlignment(Qt::AlignHCenter);
    column->addWidget(path_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* open = suggestedButton(QStringLiteral("Open Messages Folder…"));
    connect(open, &QPushButton::clicked, this, &MissingView::openRequested);
    auto* again = new QPushButton(QStringLiteral("Try Again"));
    again->setMinimumHeight(34);
    again->setObjectName(QStringLiteral("tryAgain"));
    connect(again, &QPushButton::clicked, &model_, &AppModel::load);
    buttons->addWidget(open);
    buttons->addWidget(again);
    buttons->addStretch();
    column->addSpacing(6);
    column->addLayout(buttons);
    const auto update = [this] { path_->setText(model_.messagesPath()); };
    connect(&model_, &AppModel::stateChanged, this, update);
    update();
}

FailedView::FailedView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("failedView"));
    QVBoxLayout* column = centredColumn(this, 520);
    column->addWidget(new SymbolView(Symbol::warning, 56), 0, Qt::AlignHCenter);
    heading_ = headingLabel({});
    column->addWidget(heading_);
    text_ = textLabel({});
    text_->setAlignment(Qt::AlignHCenter);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(text_);
    path_ = smallLabel({});
    path_->setAlignment(Qt::AlignHCenter);
    column->addWidget(path_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    password_ = suggestedButton(QStringLiteral("Enter Password…"));
    password_->setObjectName(QStringLiteral("enterPassword"));
    connect(password_, &QPushButton::clicked, this, &FailedView::passwordRequested);
    auto* open = new QPushButton(QStringLiteral("Open Messages Folder…"));
    open->setMinimumHeight(34);
    connect(open, &QPushButton::clicked, this, &FailedView::openRequested);
    buttons->addWidget(password_);
    buttons->addWidget(open);
    buttons->addStretch();
    column->addSpacing(6);
    column->addLayout(buttons);
    const auto update = [this] {
        // An encrypted backup is not a fault: the screen says what it needs and offers the password sheet.
        const bool locked = model_.passwordRequest().asked;
        heading_->setText(locked ? QStringLiteral("This iPhone backup is encrypted")
                                 : QStringLiteral("Quillmark can't read the Messages history"));
        text_->setText(locked ? model_.state().text
                              : QStringLiteral("The file isn't a Messages history Quillmark knows: ") + model_.state().text);
        path_->setText(model_.messagesPath());
        password_->setVisible(locked);
    };
    connect(&model_, &AppModel::stateChanged, this, update);
    connect(&model_, &AppModel::passwordRequestChanged, this, update);
    update();
}

}  // namespace quillmark::app
