#pragma once
// The program's start: everything main() does besides creating the
// application object.

class QApplication;

namespace kestrava {

// False when there is no display to show windows on (Linux and other X11 or
// Wayland systems without DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM).
bool DisplayAvailable();

// Sets the program's names and seams, creates the main window and runs the
// event loop. Returns the exit status: non-zero when the start failed.
int RunApplication(QApplication& app);

}  // namespace kestrava
