// discmenu: the start-up menu of a software medium. Takes no arguments: it reads "contents.inf"
// from the current directory (or from its own folder, or the one above) and shows the menu.
#include "app/runmenu.h"

int main(int argc, char* argv[]) { return app::runMenu(argc, argv); }
