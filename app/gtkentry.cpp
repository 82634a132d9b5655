// The GTK menu as a library, for the launcher of a medium (launcher/main.cpp): it loads this
// library when the desktop's GTK 3 serves, and calls discmenu_main in place of main().
#include "app/gtkmenu.h"

extern "C" __attribute__((visibility("default"))) int discmenu_main(int argc, char* argv[]) {
    return app::runGtkMenu(argc, argv);
}
