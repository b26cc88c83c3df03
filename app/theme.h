// Theme: the colours the application draws with, taken from the palette the platform gives, so that the
// window follows a light or a dark desktop. Whether the palette is dark is told by the lightness of its
// window colour: Qt has no colour-scheme hint of its own on every desktop.
//
//   const Theme theme = Theme::of(widget->palette());
//   painter.fillRect(bubble, message.isFromMe ? theme.accent : theme.incoming);
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

namespace quillmark::app {

struct Theme {
    bool dark = false;
    QColor window;         // the window's background
    QColor base;           // lists and the thread's background
    QColor text;
    QColor secondaryText;  // dates, counts, captions
    QColor accent;         // the user's own bubbles and chosen things
    QColor onAccent;       // text on the accent
    QColor incoming;       // other people's bubbles
    QColor onIncoming;
    QColor link;
    QColor separator;
    QColor warning;        // the damaged-history bar
    QColor onWarning;
    QColor placeholder;    // a picture not yet loaded

    static Theme of(const QPalette& palette);
    static bool isDark(const QPalette& palette);

    // A colour for an avatar, the same for the same key on every run.
    QColor avatar(const QString& key) const;

    // The two palettes of the window snapshots, close to the desktops' own light and dark schemes.
    static QPalette lightPalette();
    static QPalette darkPalette();
};

}  // namespace quillmark::app
