// quillmark: the desktop application. Opens the Messages history named on the command line (or the one opened
// last, or the user's own), shows its conversations and exports them. Two self-checks run instead of the
// window: --snapshot-windows FOLDER renders the window's scenes into that folder, and --check-menus FILE
// writes the check of the menu bar's shortcuts to that file; each then quits, with status 0 when all passed.
#include <cstdio>

#include <QApplication>

#include "app/app_model.h"
#include "app/arguments.h"
#include "app/main_window.h"
#include "app/menu_check.h"
#include "app/widgets.h"
#include "app/window_snapshots.h"
#include "core/heap.h"

int main(int argc, char** argv) {
    using namespace quillmark;
    Heap::setUpAtStart(argv);
    using namespace quillmark::app;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(QUILLMARK_APP_ID));

    QApplication::setFont(withEmoji(QApplication::font()));

    const Arguments arguments = Arguments::parse(QApplication::arguments());
    if (arguments.snapshotWindows) return WindowSnapshots::run(*arguments.snapshotWindows);

    // Only a development build listens to the QUILLMARK_* variables.
    const bool developmentBuild = QStringLiteral(QUILLMARK_APP_ID).endsWith(QLatin1String(".dev"));
    AppModel::Launch launch;
    launch.messages = arguments.messages;
    launch.environment = AppEnvironment::read(developmentBuild);
    AppModel model(launch);
    MainWindow window(model);

    if (arguments.checkMenus) {
        // The menu bar is complete once the window is made; no history is opened for the check.
        const QStringList report = MenuCheck::run(window.menuBar());
        if (!MenuCheck::write(report, *arguments.checkMenus)) {
            std::fprintf(stderr, "quillmark: could not write %s\n", qPrintable(*arguments.checkMenus));
            return 2;
        }
        return report.back() == QLatin1String("ok") ? 0 : 1;
    }

    window.show();
    model.load();
    return QApplication::exec();
}
