#pragma once
// Keeps GTK's file chooser from writing to the user's files while the rest of the program reads
// the desktop's settings as any GTK program does (on Wayland GTK takes them from GSettings).
#include <gtk/gtk.h>

namespace gtk {

// Call before the first file chooser is made; does its work once. What the chooser would write:
//  - its own settings (sorting, view, window size) go to GSettings when it closes: it is given
//    a settings object in memory instead, with the schema's defaults;
//  - it creates the folders of the desktop's recent files (~/.local/share) and server list
//    (~/.config/gtk-3.0) when they are missing: GTK's calls to g_mkdir_with_parents create
//    nothing (they report success, and GTK then finds no file there to read).
// Recent files are not added to: the chooser's Open button has a response of its own (see
// GtkPlatform::showOpen). Where a step is not possible (no schema, a GTK built otherwise) the
// chooser is left as it is; nothing fails.
void quietFileChooser();

}  // namespace gtk
