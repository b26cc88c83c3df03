#include "app/arguments.h"

namespace quillmark::app {

Arguments Arguments::parse(const QStringList& arguments) {
    Arguments parsed;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--messages")) {
            parsed.messages = arguments[++i];
        } else if (arguments[i] == QLatin1String("--snapshot-windows")) {
            parsed.snapshotWindows = arguments[++i];
        } else if (arguments[i] == QLatin1String("--check-menus")) {
            parsed.checkMenus = arguments[++i];
        }
    }
    return parsed;
}

}  // namespace quillmark::app
