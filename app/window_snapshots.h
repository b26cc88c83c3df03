// WindowSnapshots: the self-check that renders the main window's scenes into PNG files, each in a light and a
// dark palette, from a sample history written into a temporary folder (never the user's history):
//
//   01-full-disk-access   the guide shown while this account may not read the history
//   02-thread             a one-to-one conversation with replies, reactions and edits
//   03-thread-photos      a conversation with pictures
//   04-group              a group conversation with sender names and events
//   10-batch              two conversations chosen
//
// Files are named after the scene and the palette ("02-thread-dark.png"). report.txt in the folder has a line
// "ok NAME" for each file written and a line beginning "FAIL " for each problem.
//
//   return WindowSnapshots::run("/tmp/snapshots");   // 0 when every scene was written
#pragma once

#include <QString>
#include <QStringList>

namespace quillmark::app {

class WindowSnapshots {
public:
    // Runs every scene into the folder (made with the folders above it when missing); the exit status.
    static int run(const QString& folder);
};

}  // namespace quillmark::app
