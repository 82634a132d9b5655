// The GTK menu's plain twin, for the start-up benchmark (scripts/bench): the menu's window for the
// sample medium made the way a plain GTK 3 program would make it, with GTK's stock widgets (a
// GtkTreeView and a GtkTextView in GtkScrolledWindows, GtkLabels, GtkButtons, a GtkEntry, a
// GtkImage for the picture) placed on GtkFixed panels, the menu's controls, texts, fonts, colours
// and geometry written out by hand, one style sheet for all of it, and the catalogue read through
// the project's reader. Nothing is deferred or drawn by hand, and the pictures are read through
// gdk-pixbuf's own loaders. The menu against this twin says what the menu's own way of building
// its window costs or saves; this twin against the one-label window says what the content itself
// costs.
#include <gtk/gtk.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <variant>

#include "catalogue/catalogue.h"

namespace {

// A catalogue colour (00BBGGRR) as CSS writes it.
std::string css(std::int32_t bgr) {
    char out[8];
    std::snprintf(out, sizeof out, "#%02x%02x%02x", unsigned(bgr & 0xFF), unsigned((bgr >> 8) & 0xFF),
                  unsigned((bgr >> 16) & 0xFF));
    return out;
}

// The style sheet: the layout's fonts, the catalogue's colours, and the theme's padding and least
// sizes taken off so that every control fits the box the layout gives it.
std::string styleSheet(const catalogue::Module1& m) {
    const auto& c = m.ColourTable;
    return "* { font-family: Arial, \"Liberation Sans\", sans-serif; font-size: 10px; }\n"
           ".bold, .bold * { font-weight: bold; }\n"
           ".hint { font-size: 11px; background-color: #ffff00; }\n"
           "button, entry { min-height: 0; min-width: 0; padding: 0 2px; }\n"
           "window { background-color: " +
           css(c[0]) +
           "; }\n"
           ".grey { background-color: #c0c0c0; }\n"
           ".blue { background-color: #0000ff; }\n"
           ".line { background-color: " +
           css(c[1]) + "; color: " + css(c[2]) +
           "; }\n"
           "treeview.view:not(:selected) { background-color: " +
           css(c[3]) + "; color: " + css(c[4]) +
           "; }\n"
           "entry { background-color: " +
           css(c[5]) + "; color: " + css(c[6]) +
           "; }\n"
           "textview text { background-color: " +
           css(c[7]) + "; color: " + css(c[8]) + "; }\n";
}

void addClass(GtkWidget* widget, const char* name) {
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), name);
}

GtkWidget* put(GtkWidget* fixed, GtkWidget* widget, int x, int y, int w, int h) {
    gtk_widget_set_size_request(widget, w, h);
    gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
    return widget;
}

// A coloured panel with its own window, holding its controls at fixed places.
GtkWidget* panel(GtkWidget* fixed, int x, int y, int w, int h, const char* colour) {
    GtkWidget* box = gtk_event_box_new();
    addClass(box, colour);
    GtkWidget* inside = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(box), inside);
    put(fixed, box, x, y, w, h);
    return inside;
}

GtkWidget* label(GtkWidget* fixed, const std::string& caption, int x, int y, int w, int h, bool wrap) {
    GtkWidget* widget = gtk_label_new(caption.c_str());
    gtk_label_set_xalign(GTK_LABEL(widget), 0);
    gtk_label_set_yalign(GTK_LABEL(widget), 0);
    gtk_label_set_line_wrap(GTK_LABEL(widget), wrap);
    addClass(widget, "bold");
    addClass(widget, "line");
    return put(fixed, widget, x, y, w, h);
}

GtkWidget* button(GtkWidget* fixed, const char* caption, int x, int y, int w, int h) {
    GtkWidget* widget = gtk_button_new_with_mnemonic(caption);
    GtkWidget* text = gtk_bin_get_child(GTK_BIN(widget));
    gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
    gtk_label_set_justify(GTK_LABEL(text), GTK_JUSTIFY_CENTER);
    return put(fixed, widget, x, y, w, h);
}

GtkWidget* scrolled(GtkWidget* content) {
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), content);
    return scroller;
}

}  // namespace

int main(int argc, char* argv[]) {
    gtk_init(&argc, &argv);

    catalogue::Result read = catalogue::loadCatalogue(catalogue::CatalogueFileName);
    if (const auto* error = std::get_if<catalogue::Error>(&read)) {
        std::fprintf(stderr, "twin-gtk: %s\n", error->message().c_str());
        return 1;
    }
    const catalogue::Module1& m = std::get<catalogue::Module1>(read);

    GtkCssProvider* style = gtk_css_provider_new();
    gtk_css_provider_load_from_data(style, styleSheet(m).c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), (m.Title + " (" + m.Subtitle + ")").c_str());
    gtk_window_set_icon_from_file(GTK_WINDOW(window), DISCMENU_SOURCE_DIR "/resources/discmenu.ico", nullptr);
    gtk_window_set_default_size(GTK_WINDOW(window), 377, 345);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    GtkWidget* client = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window), client);

    // Back to front: a control added later is drawn over the ones before it.
    const std::string count = std::to_string(m.ProgramCount);
    label(client,
          count + (m.ProgramCount == 1 ? " Great Program" : " Great Programs") + " ready for installation!",
          176, 8, 73, 57, true);

    GtkWidget* sizePanel = panel(client, 297, 160, 80, 49, "grey");
    label(sizePanel, "Size in Kb (installed)", 16, 0, 52, 29, true);
    GtkWidget* size = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(size), std::to_string(m.ProgramSize[1]).c_str());
    gtk_editable_set_editable(GTK_EDITABLE(size), FALSE);
    gtk_entry_set_width_chars(GTK_ENTRY(size), 1);
    put(sizePanel, size, 16, 25, 49, 20);

    GtkWidget* listPanel = panel(client, 0, 67, 305, 142, "grey");
    label(listPanel, "Programs on this CD", 8, 0, 103, 13, false);
    GtkWidget* doubleClick = label(listPanel, "Double Click to install", 192, 0, 100, 14, false);
    gtk_style_context_remove_class(gtk_widget_get_style_context(doubleClick), "bold");
    gtk_style_context_remove_class(gtk_widget_get_style_context(doubleClick), "line");
    addClass(doubleClick, "hint");
    GtkListStore* items = gtk_list_store_new(1, G_TYPE_STRING);
    for (int n = 1; n <= m.ProgramCount; ++n)
        gtk_list_store_insert_with_values(items, nullptr, -1, 0, m.ProgramName[n].c_str(), -1);
    GtkWidget* list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(items));
    g_object_unref(items);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(list), FALSE);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(list), -1, "", gtk_cell_renderer_text_new(),
                                                "text", 0, nullptr);
    addClass(list, "bold");
    GtkTreePath* first = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(list), first, nullptr, FALSE);
    gtk_tree_path_free(first);
    put(listPanel, scrolled(list), 8, 12, 289, 112);

    GtkWidget* descriptionPanel = panel(client, 0, 208, 377, 137, "grey");
    label(descriptionPanel, "Program description", 8, 0, 103, 13, false);
    label(descriptionPanel, "Published by " + m.Publisher, 8, 120, 202, 13, false);
    label(descriptionPanel, "Date: " + m.Date, 240, 120, 125, 13, false);
    GtkWidget* description = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(description), FALSE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(description), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_left_margin(GTK_TEXT_VIEW(description), 4);
    gtk_text_view_set_right_margin(GTK_TEXT_VIEW(description), 4);
    gtk_text_view_set_top_margin(GTK_TEXT_VIEW(description), 4);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(description)),
                             m.ProgramDescription[1].c_str(), -1);
    put(descriptionPanel, scrolled(description), 8, 13, 361, 105);

    GtkWidget* buttonPanel = panel(client, 304, 0, 73, 160, "blue");
    button(buttonPanel, "_Browse CD", 8, 8, 57, 33);
    gtk_widget_set_sensitive(button(buttonPanel, "Show _Readme", 8, 48, 57, 33), m.flagOn(1));
    gtk_widget_set_sensitive(button(buttonPanel, "Show _License", 8, 88, 57, 33), m.flagOn(3));
    button(buttonPanel, "_Exit", 8, 128, 57, 25);

    GtkWidget* installPanel = panel(client, 232, 0, 81, 66, "blue");
    addClass(button(installPanel, "_Install highlighted program", 8, 8, 65, 49), "bold");

    GtkWidget* picture = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(picture), GTK_SHADOW_IN);
    GtkWidget* image = gtk_image_new_from_file(DISCMENU_SOURCE_DIR "/resources/picture.bmp");
    gtk_widget_set_halign(image, GTK_ALIGN_START);
    gtk_widget_set_valign(image, GTK_ALIGN_START);
    gtk_container_add(GTK_CONTAINER(picture), image);
    put(client, picture, 8, 5, 162, 64);

    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
