#pragma once
// The platform services of the GTK front end: the toolkit-free Linux services (PosixPlatform) with
// GTK's file chooser and message dialogs, and the end of GTK's main loop.
#include <gtk/gtk.h>

#include "platform/posix/posixplatform.h"

namespace gtk {

class GtkPlatform final : public platform::PosixPlatform {
public:
    // The file chooser in the current folder, modal over the menu, showing every file under the
    // request's filter name; what is picked is returned, Cancel and closing return "cancelled".
    // Nothing is written: no recent-files entry (the run's settings turn them off) and the chooser's
    // own settings go to the in-memory settings store the program sets up before GTK starts.
    platform::OpenDialogResult showOpen(const platform::OpenDialogRequest& request) override;
    // A modal warning over the menu, titled with the menu's caption.
    void showMessage(const std::string& text) override;
    // Leaves gtk_main (when it runs); status() is then the program's exit status.
    void endProgram(int status) override;

    int status() const { return status_; }

protected:
    bool onX11() const override;  // GDK's display is an X11 one
    void showFatalBox(const std::string& text) override;

private:
    int status_ = 0;
};

// The window of this process that a dialog belongs over: the active one, else the first shown.
GtkWindow* dialogParent();

}  // namespace gtk
