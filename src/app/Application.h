#pragma once
// The program's start: everything main() does besides creating the
// application object.

#include <QStringList>

class QApplication;

namespace kestrava {

// False when there is no display to show windows on (Linux and other X11 or
// Wayland systems without DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM).
bool DisplayAvailable();

// Sets the program's names and seams and, unless this user's program is
// running on this display already (it then gets `files` and this start
// ends), creates the main window, opens `files` and runs the event loop.
// Returns the exit status: non-zero when the start failed.
int RunApplication(QApplication& app, const QStringList& files);

}  // namespace kestrava
