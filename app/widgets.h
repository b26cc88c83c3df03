// Small pieces the screens are built of: the heading and text labels, a large symbol, a busy spinner, and a
// centred column for the screens that say one thing (loading, no history, the onboarding, failures).
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "app/symbols.h"

namespace quillmark::app {

// A font of the widget's scaled by a factor, in the weight given.
QFont scaledFont(const QFont& base, double factor, QFont::Weight weight = QFont::Normal);

// The font with the colour emoji face after its own families, so that emoji are drawn in colour rather than
// from whatever monochrome face the system falls back to first.
QFont withEmoji(const QFont& font);

QLabel* headingLabel(const QString& text, double factor = 1.55);
// Wrapped text; `rich` reads the text as markup (bold spans).
QLabel* textLabel(const QString& text, bool rich = false);
// Small text in the secondary colour, selectable: paths and details.
QLabel* smallLabel(const QString& text);

// A push button for the one thing a screen asks for: larger, in the accent colour, as desktops mark their
// suggested action.
QPushButton* suggestedButton(const QString& text);

// A panel in the base colour with a rounded border, for a group of related rows (the onboarding's steps).
class Card : public QWidget {
    Q_OBJECT

public:
    explicit Card(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A symbol drawn in the palette's text colour (or the secondary colour), following palette changes.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    SymbolView(Symbol symbol, int side, bool secondary = true, QWidget* parent = nullptr);
    void setSymbol(Symbol symbol);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Symbol symbol_;
    bool secondary_;
};

// A turning arc, while something is loaded.
class Spinner : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(int side = 32, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer timer_;
    int angle_ = 0;
};

// A page whose content is a column of at most `width` pixels in its middle; returns the column's layout.
QVBoxLayout* centredColumn(QWidget* page, int width);

}  // namespace quillmark::app
