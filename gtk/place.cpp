#include "gtk/place.h"

#include <algorithm>

namespace gtk {
namespace {

struct ChildRect {
    core::PixelRect rect;
    bool widens;
};

const char* const RectKey = "discmenu-place-rect";

EdgeColours sunken{{0.62, 0.62, 0.62, 1}, {1, 1, 1, 1}, {0.46, 0.46, 0.46, 1}, {0.75, 0.75, 0.75, 1}};

}  // namespace
}  // namespace gtk

extern "C" {

struct DiscmenuPlace {
    GtkFixed parent;
    int width, height;
    gtk::PlaceLook look;
};
struct DiscmenuPlaceClass {
    GtkFixedClass parent;
};

G_DEFINE_TYPE(DiscmenuPlace, discmenu_place, GTK_TYPE_FIXED)

static void discmenu_place_init(DiscmenuPlace* place) {
    place->width = place->height = 0;
    place->look = gtk::PlaceLook::Plain;
}

static void discmenu_place_preferred_width(GtkWidget* widget, gint* minimum, gint* natural) {
    *minimum = *natural = reinterpret_cast<DiscmenuPlace*>(widget)->width;
}

static void discmenu_place_preferred_height(GtkWidget* widget, gint* minimum, gint* natural) {
    *minimum = *natural = reinterpret_cast<DiscmenuPlace*>(widget)->height;
}

static void allocateChild(GtkWidget* child, gpointer data) {
    auto* place = static_cast<DiscmenuPlace*>(data);
    const auto* entry = static_cast<const gtk::ChildRect*>(g_object_get_data(G_OBJECT(child), gtk::RectKey));
    if (!entry || !gtk_widget_get_visible(child)) return;
    GtkRequisition minimum, natural;
    gtk_widget_get_preferred_size(child, &minimum, &natural);
    GtkAllocation allocation{entry->rect.x, entry->rect.y, entry->rect.width, entry->rect.height};
    if (entry->widens) {
        const int room = place->width - entry->rect.x;
        allocation.width = std::max(allocation.width, std::min(natural.width, room));
    }
    // Without a window of its own, the place's children are placed in its container's window.
    GtkWidget* widget = GTK_WIDGET(place);
    if (!gtk_widget_get_has_window(widget)) {
        GtkAllocation own;
        gtk_widget_get_allocation(widget, &own);
        allocation.x += own.x;
        allocation.y += own.y;
    }
    gtk_widget_size_allocate(child, &allocation);
}

static void discmenu_place_size_allocate(GtkWidget* widget, GtkAllocation* allocation) {
    gtk_widget_set_allocation(widget, allocation);
    if (gtk_widget_get_has_window(widget) && gtk_widget_get_realized(widget)) {
        gdk_window_move_resize(gtk_widget_get_window(widget), allocation->x, allocation->y, allocation->width,
                               allocation->height);
    }
    gtk_container_forall(GTK_CONTAINER(widget), allocateChild, widget);
}

static gboolean discmenu_place_draw(GtkWidget* widget, cairo_t* cr) {
    const auto* place = reinterpret_cast<DiscmenuPlace*>(widget);
    const double w = gtk_widget_get_allocated_width(widget), h = gtk_widget_get_allocated_height(widget);
    if (place->look != gtk::PlaceLook::Plain) {
        gtk_render_background(gtk_widget_get_style_context(widget), cr, 0, 0, w, h);
    }
    if (place->look == gtk::PlaceLook::Sunken) {
        gtk::drawEdge(cr, w, h, gtk::sunken);
    }
    return GTK_WIDGET_CLASS(discmenu_place_parent_class)->draw(widget, cr);
}

static void discmenu_place_class_init(DiscmenuPlaceClass* klass) {
    GtkWidgetClass* widget = GTK_WIDGET_CLASS(klass);
    widget->get_preferred_width = discmenu_place_preferred_width;
    widget->get_preferred_height = discmenu_place_preferred_height;
    widget->size_allocate = discmenu_place_size_allocate;
    widget->draw = discmenu_place_draw;
}

}  // extern "C"

namespace gtk {

GtkWidget* placeNew(int width, int height, PlaceLook look) {
    auto* place = static_cast<DiscmenuPlace*>(g_object_new(discmenu_place_get_type(), nullptr));
    place->width = width;
    place->height = height;
    place->look = look;
    gtk_widget_set_has_window(GTK_WIDGET(place), look != PlaceLook::Plain);
    return GTK_WIDGET(place);
}

void placePut(GtkWidget* place, GtkWidget* child, core::PixelRect rect, bool widens) {
    g_object_set_data_full(G_OBJECT(child), RectKey, new ChildRect{rect, widens},
                           [](gpointer data) { delete static_cast<ChildRect*>(data); });
    gtk_fixed_put(GTK_FIXED(place), child, rect.x, rect.y);
}

void drawEdge(cairo_t* cr, double w, double h, const EdgeColours& c) {
    const auto line = [cr](const GdkRGBA& colour, double x, double y, double width, double height) {
        gdk_cairo_set_source_rgba(cr, &colour);
        cairo_rectangle(cr, x, y, width, height);
        cairo_fill(cr);
    };
    line(c.outerTopLeft, 0, 0, w - 1, 1);
    line(c.outerTopLeft, 0, 0, 1, h - 1);
    line(c.outerBottomRight, 0, h - 1, w, 1);
    line(c.outerBottomRight, w - 1, 0, 1, h);
    line(c.innerTopLeft, 1, 1, w - 3, 1);
    line(c.innerTopLeft, 1, 1, 1, h - 3);
    line(c.innerBottomRight, 1, h - 2, w - 2, 1);
    line(c.innerBottomRight, w - 2, 1, 1, h - 2);
}

void placeSetSunkenColours(const EdgeColours& colours) { sunken = colours; }

}  // namespace gtk
