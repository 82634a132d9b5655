// discmenu-gtk: the start-up menu of a software medium on GTK 3. Takes no arguments: it reads
// "contents.inf" from the current directory (or from its own folder, or the one above) and shows
// the menu.
#include "app/gtkmenu.h"

int main(int argc, char* argv[]) { return app::runGtkMenu(argc, argv); }
