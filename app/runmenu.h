// The menu program's whole run: shared by the program (main.cpp) and by the library that a
// medium's launcher loads (entry.cpp).
#pragma once

namespace app {

// Shows the menu of the medium in the current directory (or beside the program) and runs it
// until it closes; returns the exit status.
int runMenu(int argc, char* argv[]);

}  // namespace app
