#include "app/widgets.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>

#include "app/theme.h"

namespace quillmark::app {

QFont scaledFont(const QFont& base, double factor, QFont::Weight weight) {
    QFont font = base;
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    } else {
        font.setPixelSize(int(font.pixelSize() * factor));
    }
    font.setWeight(weight);
    return font;
}

QFont withEmoji(const QFont& font) {
    static const QString emoji = QStringLiteral("Noto Color Emoji");
    static const bool present = QFontDatabase::hasFamily(emoji);
    QStringList families = font.families();
    if (families.isEmpty()) families << font.family();
    if (!present || families.contains(emoji)) return font;
    QFont both = font;
    families << emoji;
    both.setFamilies(families);
    return both;
}

QLabel* headingLabel(const QString& text, double factor) {
    auto* label = new QLabel(text);
    label->setFont(scaledFont(label->font(), factor, QFont::Bold));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* textLabel(const QString& text, bool rich) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(rich ? Qt::RichText : Qt::PlainText);
    return label;
}

QLabel* smallLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setFont(scaledFont(label->font(), 0.88));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

namespace {

class SuggestedButton : public QPushButton {
public:
    explicit SuggestedButton(const QString& text) : QPushButton(text) {
        setDefault(true);
        setMinimumHeight(34);
        setStyleSheet(QStringLiteral("QPushButton { padding: 0 18px; }"));
        takeAccent();
    }

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange) takeAccent();
        QPushButton::changeEvent(event);
    }

private:
    // The accent of the application's palette, light or dark.
    void takeAccent() {
        QPalette palette = QApplication::palette(this);
        palette.setColor(QPalette::Button, palette.color(QPalette::Highlight));
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::HighlightedText));
        setPalette(palette);
    }
};

}  // namespace

QPushButton* suggestedButton(const QString& text) { return new SuggestedButton(text); }

Card::Card(QWidget* parent) : QWidget(parent) {}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(palette());
    painter.setPen(QPen(theme.separator, 1));
    painter.setBrush(theme.base);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

SymbolView::SymbolView(Symbol symbol, int side, bool secondary, QWidget* parent)
    : QWidget(parent), symbol_(symbol), secondary_(secondary) {
    setFixedSize(side, side);
}

void SymbolView::setSymbol(Symbol symbol) {
    symbol_ = symbol;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Theme theme = Theme::of(palette());
    Symbols::paint(painter, symbol_, rect(), secondary_ ? theme.secondaryText : theme.text);
}

Spinner::Spinner(int side, QWidget* parent) : QWidget(parent) {
    setFixedSize(side, side);
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(palette());
    const double pen = width() / 10.0;
    const QRectF circle = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    painter.setPen(QPen(theme.separator, pen));
    painter.drawEllipse(circle);
    painter.setPen(QPen(theme.secondaryText, pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, -angle_ * 16, 100 * 16);
}

void Spinner::showEvent(QShowEvent* event) {
    timer_.start();
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

QVBoxLayout* centredColumn(QWidget* page, int width) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(24, 24, 24, 24);
    auto* column = new QWidget;
    column->setMaximumWidth(width);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    policy.setHeightForWidth(true);
    column->setSizePolicy(policy);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(column);
    middle->addStretch(1);
    outer->addStretch(1);
    outer->addLayout(middle, 100);
    outer->addStretch(1);
    return layout;
}

}  // namespace quillmark::app
