// Desktop: handing files to the rest of the desktop: opening one with its default application, and showing
// one in the file manager (selected, through the file manager's D-Bus ShowItems; else its folder is opened).
#pragma once

#include <QString>

namespace quillmark::app::Desktop {

// Opens the file with the application the desktop chose for it; false when nothing could.
bool open(const QString& path);

// Shows the file in the file manager, without waiting for it. For a path that does not exist, the nearest folder
// above it that does.
void showInFolder(const QString& path);

}  // namespace quillmark::app::Desktop
