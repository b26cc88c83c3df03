#include "app/menu_check.h"

#include <functional>

#include <QMenu>
#include <QSaveFile>

namespace quillmark::app::MenuCheck {

namespace {

// The title as shown: without the "&" that marks a mnemonic ("&&" is a literal "&").
QString shown(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        plain += text[i];
    }
    return plain;
}

bool matches(const QString& pattern, const QString& title) {
    if (pattern.endsWith(QLatin1Char('*'))) return title.startsWith(pattern.chopped(1));
    return title == pattern;
}

// The first item of the menus, in menu order and depth first, whose title matches.
const QAction* find(const QMenuBar* bar, const QString& pattern) {
    std::function<const QAction*(const QList<QAction*>&)> search = [&](const QList<QAction*>& actions) -> const QAction* {
        for (const QAction* action : actions) {
            if (action->isSeparator()) continue;
            if (const QMenu* menu = action->menu()) {
                if (const QAction* found = search(menu->actions())) return found;
                continue;
            }
            if (matches(pattern, shown(action->text()))) return action;
        }
        return nullptr;
    };
    return search(bar->actions());
}

// Only the key and the four modifiers count, not a keypad or other flag.
QKeyCombination compared(const QKeySequence& keys) {
    if (keys.isEmpty()) return QKeyCombination();
    const QKeyCombination first = keys[0];
    const Qt::KeyboardModifiers four = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return QKeyCombination(first.keyboardModifiers() & four, first.key());
}

QString text(const QKeySequence& keys) {
    return keys.isEmpty() ? QStringLiteral("no shortcut") : QKeySequence(compared(keys)).toString(QKeySequence::PortableText);
}

}  // namespace

QList<Wanted> wanted() {
    return {
        {QStringLiteral("Undo*"), QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {QStringLiteral("Redo*"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        {QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X)},
        {QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C)},
        {QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V)},
        {QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A)},
        {QStringLiteral("Close"), QKeySequence(Qt::CTRL | Qt::Key_W)},
        {QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {QStringLiteral("Quit Quillmark"), QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {QStringLiteral("Open Messages Folder…"), QKeySequence(Qt::CTRL | Qt::Key_O)},
        {QStringLiteral("Export*"), QKeySequence(Qt::CTRL | Qt::Key_E)},
        {QStringLiteral("Verify an Export…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
        {QStringLiteral("Reload Messages"), QKeySequence(Qt::CTRL | Qt::Key_R)},
    };
}

QStringList run(const QMenuBar* bar, bool updateFeed) {
    if (!bar || bar->actions().isEmpty()) return {QStringLiteral("FAIL no main menu")};
    QStringList lines;
    bool failed = false;
    for (const Wanted& item : wanted()) {
        const QAction* action = find(bar, item.title);
        if (!action) {
            lines << QStringLiteral("missing \"%1\"").arg(item.title);
            failed = true;
        } else if (compared(action->shortcut()) != compared(item.keys)) {
            lines << QStringLiteral("\"%1\" has %2, wanted %3").arg(item.title, text(action->shortcut()), text(item.keys));
            failed = true;
        } else {
            lines << QStringLiteral("ok %1 %2").arg(shown(action->text()), text(item.keys));
        }
    }
    if (updateFeed) {
        const QString updates = QStringLiteral("Check for Updates…");
        if (find(bar, updates)) {
            lines << QStringLiteral("ok ") + updates;
        } else {
            lines << QStringLiteral("missing \"%1\"").arg(updates);
            failed = true;
        }
    }
    lines << (failed ? QStringLiteral("FAILED") : QStringLiteral("ok"));
    return lines;
}

bool write(const QStringList& report, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(report.join(QLatin1Char('\n')).toUtf8() + '\n');
    return file.commit();
}

}  // namespace quillmark::app::MenuCheck
