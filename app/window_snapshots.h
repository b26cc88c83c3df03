// WindowSnapshots: the self-check that renders the main window's scenes into PNG files, each in a light and a
// dark palette, from a sample history written into a temporary folder (never the user's history):
//
//   01-full-disk-access   the guide shown while this account may not read the history
//   02-thread             a one-to-one conversation with replies, reactions and edits
//   03-thread-photos      a conversation with pictures
//   04-group              a group conversation with sender names and events
//   07-export             the export sheet over the window, on its choices
//   08-exported           the sheet once a record PDF of that conversation is written
//   09-verified           the verify sheet's verdict on that PDF
//   10-batch              two conversations chosen
//   11-settings           the settings window
//
// A sheet is drawn over the window it belongs to, which is dimmed as the desktop dims a window behind its
// dialog. Files are named after the scene and the palette ("02-thread-dark.png"). report.txt in the folder has a line
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
