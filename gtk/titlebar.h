#pragma once
// The title bar that GTK draws itself (on Wayland, where the compositor draws none, or with
// GTK_CSD=1): a window that cannot be resized takes the width its full title needs there, wider
// than its client area when the title is long. A window manager's title bar cuts the title instead.
#include <gtk/gtk.h>

namespace gtk {

// Realizes `window` (GTK makes its own title bar then) and, where GTK draws the title bar, cuts its
// title with an ellipsis at the width that keeps the title bar within `clientWidth` pixels. Call it
// after the title is set and before the window is shown. Elsewhere it only realizes the window.
void keepTitleWithin(GtkWindow* window, int clientWidth);

}  // namespace gtk
