#include "gtk/gtkplatform.h"

#include <gtk/gtk-a11y.h>
#include <unistd.h>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <memory>

#include "gtk/quietchooser.h"

namespace gtk {
namespace {

// What GTK does when a screen reader (or any program on the accessibility bus) presses a button.
gboolean (*pressButton)(AtkAction*, gint) = nullptr;

// A button pressed through the accessibility bus is pressed as soon as the call has returned, not
// within it: GTK's accessibility bridge answers nothing else while its call runs, so a dialog shown
// from the button (with its own event loop) would leave the menu, and the dialog itself, unseen
// and unanswered by the screen reader until it closed. The press still comes before any other
// event: it waits at a priority above them.
gboolean pressAfterReply(AtkAction* action, gint index) {
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(action));
    if (!widget || index < 0 || index >= atk_action_get_n_actions(action) ||
        !gtk_widget_is_sensitive(widget) || !gtk_widget_get_visible(widget))
        return FALSE;
    struct Press {
        AtkAction* action;
        gint index;
    };
    g_idle_add_full(
        G_PRIORITY_HIGH,
        [](gpointer data) -> gboolean {
            auto* press = static_cast<Press*>(data);
            pressButton(press->action, press->index);
            return G_SOURCE_REMOVE;
        },
        new Press{ATK_ACTION(g_object_ref(action)), index},
        [](gpointer data) {
            auto* press = static_cast<Press*>(data);
            g_object_unref(press->action);
            delete press;
        });
    return TRUE;
}

void pressButtonsAfterReply() {
    auto* iface = static_cast<AtkActionIface*>(
        g_type_interface_peek(g_type_class_ref(GTK_TYPE_BUTTON_ACCESSIBLE), ATK_TYPE_ACTION));
    if (!iface || iface->do_action == pressAfterReply) return;
    pressButton = iface->do_action;
    iface->do_action = pressAfterReply;
}

// A dialog no larger than the work area of the screen it opens on (a netbook's 1024 x 600 among
// them), whatever size it would take or had been given: GTK keeps a window within its own size
// hints. Its least size stays its own.
void fitWorkArea(GtkWindow* dialog, GtkWindow* parent) {
    GdkDisplay* display = gdk_display_get_default();
    GdkWindow* near = parent ? gtk_widget_get_window(GTK_WIDGET(parent)) : nullptr;
    GdkMonitor* monitor =
        near ? gdk_display_get_monitor_at_window(display, near) : gdk_display_get_primary_monitor(display);
    if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    GdkGeometry geometry{};
    geometry.max_width = std::max(area.width, 1);
    geometry.max_height = std::max(area.height, 1);
    gtk_window_set_geometry_hints(dialog, nullptr, &geometry, GDK_HINT_MAX_SIZE);
}

// The name the program's own boxes carry when there is no menu window to take a title from.
constexpr char ProgramName[] = "discmenu";

void showBox(GtkWindow* parent, GtkMessageType type, const char* title, const std::string& text) {
    GtkWidget* box =
        gtk_message_dialog_new(parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                               type, GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), title);
    fitWorkArea(GTK_WINDOW(box), parent);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

}  // namespace

GtkPlatform::GtkPlatform() { pressButtonsAfterReply(); }

GtkWindow* dialogParent() {
    GList* windows = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* item = windows; item; item = item->next) {
        auto* window = GTK_WINDOW(item->data);
        if (!gtk_widget_get_visible(GTK_WIDGET(window)) ||
            gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL)
            continue;
        if (gtk_window_is_active(window)) {
            found = window;
            break;
        }
        if (!found) found = window;
    }
    g_list_free(windows);
    return found;
}

platform::OpenDialogResult GtkPlatform::showOpen(const platform::OpenDialogRequest& request) {
    // The Open button answers with a response of its own, not GTK_RESPONSE_ACCEPT: the chooser adds
    // what it accepts to the desktop's recent files (a write to the user's files). It is the
    // default response, so that a double click on a file and Enter still open it.
    constexpr int Picked = 1;
    quietFileChooser();
    GtkWindow* parent = dialogParent();
    GtkWidget* dialog = gtk_file_chooser_dialog_new("Open", parent, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, "_Open", Picked, nullptr);
    fitWorkArea(GTK_WINDOW(dialog), parent);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), Picked);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    const std::string folder = currentDirectory();
    gtk_file_chooser_set_current_folder(chooser, folder.c_str());

    // The filter under its own name ("All Files (*.*)"), with the pattern that means every file here.
    const platform::DialogFilter wanted = platform::dialogFilter(request.filter);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, wanted.label.c_str());
    gtk_file_filter_add_pattern(filter, wanted.pattern.empty() ? "*" : wanted.pattern.c_str());
    gtk_file_chooser_add_filter(chooser, filter);
    gtk_file_chooser_set_filter(chooser, filter);

    platform::OpenDialogResult result;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == Picked) {
        if (gchar* picked = gtk_file_chooser_get_filename(chooser)) {
            result = {false, picked};
            g_free(picked);
        }
    }
    gtk_widget_destroy(dialog);
    return result;
}

void GtkPlatform::showMessage(const std::string& text) {
    GtkWindow* parent = dialogParent();
    const char* title = parent && gtk_window_get_title(parent) ? gtk_window_get_title(parent) : ProgramName;
    showBox(parent, GTK_MESSAGE_WARNING, std::string(title).c_str(), text);
}

void GtkPlatform::endProgram(int status) {
    status_ = status;
    ended_ = true;
    if (loop_) g_main_loop_quit(loop_);
}

int GtkPlatform::run() {
    if (!ended_) {
        loop_ = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(loop_);
        g_main_loop_unref(loop_);
        loop_ = nullptr;
    }
    return status_;
}

bool GtkPlatform::onX11() const {
#ifdef GDK_WINDOWING_X11
    return GDK_IS_X11_DISPLAY(gdk_display_get_default());
#else
    return false;
#endif
}

void GtkPlatform::showFatalBox(const std::string& text) {
    showBox(nullptr, GTK_MESSAGE_ERROR, ProgramName, text);
}

}  // namespace gtk
