#pragma once
// Whether the menu has a display to open its window on, asked before Qt starts: without one, Qt's
// platform plug-in aborts the process with a core dump instead of returning an error, which a
// user who started the medium from a text console or over ssh cannot make sense of.
#include <optional>
#include <string>

namespace app {

// One line saying that the menu needs a graphical desktop session and what is missing, or nothing
// when Qt can start: an X server answers on DISPLAY, or a Wayland compositor answers on
// WAYLAND_DISPLAY and Qt has a Wayland platform plug-in. A platform chosen explicitly (the
// environment variable QT_QPA_PLATFORM or the option -platform) is left to Qt, except that X11
// alone ("xcb") still needs an X server that answers. The connection that found an X server stays
// open until the application object has made its own, and is closed then.
std::optional<std::string> missingDisplay(int argc, char** argv);

// Writes missingDisplay's line to standard error; true when the menu cannot start.
bool reportMissingDisplay(int argc, char** argv);

}  // namespace app
