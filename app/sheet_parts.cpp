#include "app/sheet_parts.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/symbols.h"
#include "app/theme.h"
#include "app/widgets.h"

namespace quillmark::app {

QLabel* sheetHeading(const QString& text) {
    QLabel* label = headingLabel(text, 1.3);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QLabel* secondaryLabel(const QString& text) {
    QLabel* label = textLabel(text);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QWidget* separatorLine() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

namespace {

class LinkButton : public QPushButton {
public:
    explicit LinkButton(const QString& text) : QPushButton(text) {
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
        setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; text-align: left; }"));
        follow();
    }

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) follow();
        QPushButton::changeEvent(event);
    }

private:
    void follow() {
        const QColor link = QApplication::palette(this).color(QPalette::Link);
        if (palette().color(QPalette::ButtonText) == link) return;
        QPalette own = palette();
        own.setColor(QPalette::ButtonText, link);
        setPalette(own);
    }
};

// Copies the value of a hash row as plain text: the hash without the spaces and line break it is shown with.
class CopyButton : public QToolButton {
public:
    explicit CopyButton(QLabel* value) : value_(value) {
        setToolTip(QStringLiteral("Copy"));
        setAccessibleName(QStringLiteral("Copy"));
        setAutoRaise(true);
        setIconSize(QSize(16, 16));
        connect(this, &QToolButton::clicked, this, [this] {
            const QVariant plain = value_->property("copyText");
            QApplication::clipboard()->setText(plain.isValid() ? plain.toString() : value_->text());
        });
        follow();
    }

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) follow();
        QToolButton::changeEvent(event);
    }

private:
    void follow() { setIcon(Symbols::icon(Symbol::copy, palette().color(QPalette::ButtonText))); }
    QLabel* value_;
};

}  // namespace

QPushButton* linkButton(const QString& text) { return new LinkButton(text); }

VerdictView::VerdictView(bool good, int side, QWidget* parent) : QWidget(parent), good_(good) {
    setFixedSize(side, side);
}

void VerdictView::setGood(bool good) {
    good_ = good;
    update();
}

void VerdictView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool dark = Theme::of(palette()).dark;
    const QColor colour = good_ ? (dark ? QColor(0x33, 0xd1, 0x7a) : QColor(0x26, 0xa2, 0x69))
                                : (dark ? QColor(0xf6, 0x61, 0x51) : QColor(0xc0, 0x1c, 0x28));
    Symbols::draw(painter, good_ ? Symbol::sealCheck : Symbol::octagon, rect(), colour);
}

SheetPages::SheetPages(QWidget* parent) : QWidget(parent), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);
}

void SheetPages::addPage(QWidget* page) {
    pages_ << page;
    column_->addWidget(page);
    page->setVisible(pages_.size() - 1 == current_);
}

void SheetPages::show(int index) {
    current_ = index;
    for (int i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(i == index);
    // Hidden pages take no room in the column; the window is as tall as the page needs at its fixed width.
    QWidget* top = window();
    if (QLayout* layout = top->layout()) {
        layout->invalidate();
        layout->activate();
        const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(top->width()) : layout->totalSizeHint().height();
        top->resize(top->width(), std::max(height, layout->totalMinimumSize().height()));
    }
}

HashRow hashRow(const QString& caption, const QString& help) {
    auto* row = new QWidget;
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(3);
    auto* title = new QLabel(caption);
    title->setFont(scaledFont(title->font(), 1.0, QFont::DemiBold));
    column->addWidget(title);
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("value"));
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(value->font().pointSizeF() > 0 ? value->font().pointSizeF() : mono.pointSizeF());
    value->setFont(mono);
    // A hash is shown on two lines of eight groups; the row keeps room for both even where the label's
    // hint comes out shorter (it did in the snapshots).
    value->setMinimumHeight(QFontMetrics(mono).lineSpacing() * 2 + 2);
    line->addWidget(value);
    line->addWidget(new CopyButton(value), 0, Qt::AlignTop);
    line->addStretch();
    column->addLayout(line);
    QLabel* note = textLabel(help);
    note->setForegroundRole(QPalette::PlaceholderText);
    note->setFont(scaledFont(note->font(), 0.92));
    column->addWidget(note);
    return {row, value};
}

}  // namespace quillmark::app
