#pragma once
// The platform services of the GTK front end: the toolkit-free Linux services (PosixPlatform) with
// GTK's file chooser and message dialogs, and the end of GTK's main loop.
#include <gtk/gtk.h>

#include "platform/posix/posixplatform.h"

namespace gtk {

class GtkPlatform final : public platform::PosixPlatform {
public:
    // From now on a button of this process pressed through the accessibility bus is pressed once
    // the call has returned (a dialog it opens then shows to the screen reader beside the menu).
    GtkPlatform();

    // The file chooser in the current folder, modal over the menu, showing every file under the
    // request's filter name; what is picked is returned, Cancel and closing return "cancelled".
    // It fits the screen's work area. Nothing is written: what is picked does not become one of
    // the desktop's recent files, and the chooser keeps its settings in memory and makes no
    // folders (gtk/quietchooser.h).
    platform::OpenDialogResult showOpen(const platform::OpenDialogRequest& request) override;
    // A modal warning over the menu, titled with the menu's caption, within the work area.
    void showMessage(const std::string& text) override;
    // Leaves run(); status() is then the program's exit status.
    void endProgram(int status) override;

    // Runs the menu's event loop until endProgram. It is a plain GLib main loop, not gtk_main: on
    // its way out, gtk_main rewrites the desktop's list of recent files.
    int run();
    int status() const { return status_; }

protected:
    bool onX11() const override;  // GDK's display is an X11 one
    void showFatalBox(const std::string& text) override;

private:
    GMainLoop* loop_ = nullptr;
    bool ended_ = false;
    int status_ = 0;
};

// The window of this process that a dialog belongs over: the active one, else the first shown.
GtkWindow* dialogParent();

}  // namespace gtk
