#include "app/gtkmenu.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "core/menu.h"
#include "gtk/gtkplatform.h"
#include "gtk/menuwindow.h"
#include "gtk/titlebar.h"
#include "platform/userenvironment.h"

namespace app {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The window draws nothing with OpenGL. Without this GDK's X11 back end probes GLX when it opens
// the display, to choose its visuals: that loads Mesa's GLX and software renderer (with LLVM),
// about half of a GTK window's start-up here. GDK reads the variable in gtk_init.
void skipOpenGl() {
    // The programs the menu starts get the user's value back (platform/userenvironment.h).
    platform::recordUserValue("GDK_GL");
    setenv("GDK_GL", "disable", 1);
}

}  // namespace

std::string gtkMissingDisplay() {
    const std::string x = environment("DISPLAY"), wayland = environment("WAYLAND_DISPLAY");
    const std::string backend = environment("GDK_BACKEND");
    std::string why;
    if (x.empty() && wayland.empty()) {
        why = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    } else {
        why =
            (x.empty() ? std::string("DISPLAY is not set") : "the X display \"" + x + "\" cannot be opened") +
            " and " +
            (wayland.empty() ? std::string("WAYLAND_DISPLAY is not set")
                             : "the Wayland display \"" + wayland + "\" cannot be opened");
    }
    if (!backend.empty()) why += " (GDK_BACKEND is \"" + backend + "\")";
    return "discmenu: needs a graphical desktop session (X11 or Wayland), but " + why;
}

int runGtkMenu(int argc, char* argv[]) {
    // The desktop's settings are read as they are (on Wayland GTK takes them from GSettings when it
    // opens the display); the file chooser alone is kept from writing (gtk/quietchooser.h).
    skipOpenGl();
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s\n", gtkMissingDisplay().c_str());
        return 1;
    }
    g_set_application_name("discmenu");

    gtk::GtkPlatform platform;
    gtk::MenuWindow window;
    core::Menu menu(window, platform);
    if (const auto error = menu.load()) {
        platform.reportFatal(error->message());
        return 1;
    }
    window.connectTo(menu);
    gtk::keepTitleWithin(window.window(), core::twipsToPixels(core::ClientWidth, window.dpi()));
    window.show();
    return platform.run();
}

}  // namespace app
