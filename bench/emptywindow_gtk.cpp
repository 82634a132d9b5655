// The yardstick for the GTK menu's start-up: a GTK 3 window of the menu's size with one label,
// started the way discmenu-gtk starts, so that the difference between the two is what the menu adds.
#include <gtk/gtk.h>

int main(int argc, char* argv[]) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Empty window");
    // The menu's client area: 5655 x 5175 twips at 15 twips to the pixel.
    gtk_window_set_default_size(GTK_WINDOW(window), 377, 345);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_container_add(GTK_CONTAINER(window), gtk_label_new("One label"));
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
