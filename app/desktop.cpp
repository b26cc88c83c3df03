#include "app/desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace quillmark::app::Desktop {

bool open(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

namespace {

void openFolderOf(const QFileInfo& file) {
    // The folder that holds it, or the nearest one above that exists.
    QDir folder = file.absoluteDir();
    while (!folder.exists() && !folder.isRoot()) folder.setPath(QFileInfo(folder.absolutePath()).absolutePath());
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder.absolutePath()));
}

}  // namespace

void showInFolder(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) {
        openFolderOf(file);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
    // Asked without waiting: a desktop without such a file manager answers with an error, or not at all.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, file] {
        if (watcher->isError()) openFolderOf(file);
        watcher->deleteLater();
    });
}

}  // namespace quillmark::app::Desktop
