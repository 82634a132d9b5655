// The menu's whole run on GTK 3: shared by the program discmenu-gtk (gtkmain.cpp) and by the
// library discmenu-gtk.so that a medium's launcher loads (gtkentry.cpp). No Qt.
#pragma once

#include <string>

namespace app {

// Shows the menu of the medium in the current directory (or beside the program) and runs it
// until it closes; returns the exit status. Without a display that GTK can open, says so in one
// line on standard error and returns 1.
int runGtkMenu(int argc, char* argv[]);

// The line that says why GTK could not open a display, from the environment it looked at.
std::string gtkMissingDisplay();

}  // namespace app
