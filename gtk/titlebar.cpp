#include "gtk/titlebar.h"

#include <algorithm>

namespace gtk {
namespace {

// The label that shows the title in GTK's own title bar: a label with the style class "title"
// among the window's internal children, outside its content.
GtkWidget* titleLabel(GtkWidget* widget, GtkWidget* content) {
    if (widget == content) return nullptr;
    if (GTK_IS_LABEL(widget) &&
        gtk_style_context_has_class(gtk_widget_get_style_context(widget), GTK_STYLE_CLASS_TITLE))
        return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    struct Search {
        GtkWidget* content;
        GtkWidget* found;
    } search{content, nullptr};
    // forall, not foreach: the title bar is an internal child of the window.
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) {
            auto* s = static_cast<Search*>(data);
            if (!s->found) s->found = titleLabel(child, s->content);
        },
        &search);
    return search.found;
}

int naturalWidth(GtkWidget* widget) {
    int natural = 0;
    gtk_widget_get_preferred_width(widget, nullptr, &natural);
    return natural;
}

}  // namespace

void keepTitleWithin(GtkWindow* window, int clientWidth) {
    gtk_widget_realize(GTK_WIDGET(window));
    GtkWidget* titlebar = nullptr;
    GtkWidget* content = gtk_bin_get_child(GTK_BIN(window));
    gtk_container_forall(
        GTK_CONTAINER(window),
        [](GtkWidget* child, gpointer data) {
            auto* found = static_cast<GtkWidget**>(data);
            if (!*found && GTK_IS_HEADER_BAR(child)) *found = child;
        },
        &titlebar);
    GtkWidget* title = titlebar ? titleLabel(titlebar, content) : nullptr;
    if (!title) return;  // the window manager's title bar
    GtkLabel* label = GTK_LABEL(title);
    gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
    // The room the title bar leaves its title; a label's longest line is given in characters of
    // its font's approximate width (the larger of a letter's and a digit's, as GtkLabel counts).
    const int others = naturalWidth(titlebar) - naturalWidth(title);
    PangoContext* context = gtk_widget_get_pango_context(title);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, nullptr, nullptr);
    const int charWidth = std::max(pango_font_metrics_get_approximate_char_width(metrics),
                                   pango_font_metrics_get_approximate_digit_width(metrics));
    pango_font_metrics_unref(metrics);
    if (charWidth <= 0) return;
    const int room = std::max(clientWidth - others, 0) * PANGO_SCALE;
    gtk_label_set_max_width_chars(label, std::max(room / charWidth, 1));
    if (naturalWidth(titlebar) > clientWidth) gtk_label_set_width_chars(label, 1);
}

}  // namespace gtk
