// Symbols: the small pictures of the window (the dates menu, export, kinds of attachment, people, warnings),
// taken from the desktop's icon theme and drawn here when the theme has none, so that a bare system shows
// them too. Drawn symbols are single-colour line drawings in the colour asked for, like a theme's symbolic
// icons; the two verdicts (a seal and an octagon) are filled shapes in that colour with a white mark, always
// drawn here, as a theme's icons would not say the same.
//
//   button->setIcon(Symbols::icon(Symbol::calendar, palette().color(QPalette::ButtonText)));
//   Symbols::paint(painter, Symbol::film, QRectF(x, y, 20, 20), theme.secondaryText);
#pragma once

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QRectF>

namespace quillmark::app {

enum class Symbol {
    calendar,   // the dates menu
    share,      // export
    person,     // an avatar without initials
    group,      // a group's avatar
    film,       // video
    waveform,   // audio
    photo,      // a picture that is not shown
    document,   // other files
    warning,    // damage, failures
    lock,       // access refused
    chats,      // the empty choice
    folder,     // open or show a folder
    missing,    // an attachment whose file is not in this history
    search,
    reply,
    refresh,
    clock,      // the time zone of an export
    copy,       // copy a hash
    sealCheck,  // a good verification: a filled seal with a check mark, drawn in the colour given
    octagon,    // a bad verification or a failed export: a filled octagon with a cross
};

namespace Symbols {

// The theme's icon for the symbol, else the drawn one in `colour`.
QIcon icon(Symbol symbol, const QColor& colour);

// Draws the symbol into the rectangle: the theme's icon when it has one, else the drawing.
void paint(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& colour);

// Draws the line drawing itself, ignoring the theme.
void draw(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& colour);

}  // namespace Symbols

}  // namespace quillmark::app
