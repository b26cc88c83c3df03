// MenuCheck: the self-check of the menu bar's shortcuts (`quillmark --check-menus FILE`). Each command that
// has a standard shortcut is looked for by its title (a title ending in "*" matches any item whose title
// begins with the rest) and its shortcut compared, Shift, Ctrl, Alt and Meta with the key. Shortcuts are
// written as Qt writes them portably:
//
//   ok Export… Ctrl+E
//   "Export*" has Ctrl+R, wanted Ctrl+E
//   missing "Close"
//   FAILED                         (the last line: "ok" when every check passed)
//
// "Check for Updates…" is required only of a build with an update feed; this system has no updater.
#pragma once

#include <QKeySequence>
#include <QMenuBar>
#include <QString>
#include <QStringList>

namespace quillmark::app::MenuCheck {

struct Wanted {
    QString title;  // "Export*" matches "Export…" and "Export 3 Conversations…"
    QKeySequence keys;
};

// The commands checked, in the order of the report.
QList<Wanted> wanted();

// The report's lines, the last one "ok" or "FAILED"; without a menu bar the single line "FAIL no main menu".
QStringList run(const QMenuBar* bar, bool updateFeed = false);

// Writes the lines, joined by line feeds, to the file atomically; false when it could not be written.
bool write(const QStringList& report, const QString& path);

}  // namespace quillmark::app::MenuCheck
