// The menu as a library, for the launcher of a medium (launcher/main.cpp): it loads this library
// once it knows which Qt the menu runs on, and calls discmenu_main in place of main().
#include "app/runmenu.h"

extern "C" __attribute__((visibility("default"))) int discmenu_main(int argc, char* argv[]) {
    return app::runMenu(argc, argv);
}
