// Starting the desktop's programs (browser, editors) without waiting for them,
// while still noticing when one cannot run at all.
#pragma once

#include <QString>
#include <QStringList>

namespace quorix::panelui {

// Starts `program` with `arguments` detached from the control panel and waits
// up to `waitMs` for it. False when it could not be started or ended with a
// failure status within that time; a program still running counts as started.
bool StartAndCheck(const QString& program, const QStringList& arguments, int waitMs = 1500);

// The command that opens `file` with `editor`: a desktop entry id
// ("org.gnome.gedit.desktop", its Exec line) or a command line ($VISUAL).
// Empty when the entry cannot be found or has no Exec line.
QStringList EditorCommand(const QString& editor, const QString& file);

}  // namespace quorix::panelui
