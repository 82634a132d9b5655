#pragma once
// The container every part of the GTK menu window is built of: it gives each child exactly the
// rectangle the layout table gives it (GtkFixed would give a child its preferred size instead),
// reports its own size from the table, and can paint a background from its style (a panel, the
// window's client area) or the classic two-pixel sunken border of a text box, list or picture.
#include <gtk/gtk.h>

#include "core/layout.h"

namespace gtk {

// The classic edge of a control: two rings of one pixel, each with its top and left sides in one
// colour and its bottom and right sides in another (light over shadow: raised; the reverse:
// sunken). The bottom and right sides run through the corners they share with the others.
struct EdgeColours {
    GdkRGBA outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
};
void drawEdge(cairo_t* cr, double width, double height, const EdgeColours& colours);

enum class PlaceLook { Plain, Background, Sunken };

// A new container of `width` x `height` pixels. A Background or Sunken one has a window of its
// own, which clips its children and stacks it over the controls of its container added before it.
GtkWidget* placeNew(int width, int height, PlaceLook look);

// Puts `child` into `place` at `rect` (pixels from the place's top-left corner). A child that
// `widens` (a one-line label) is made wider when its text needs it, as far as the place reaches.
void placePut(GtkWidget* place, GtkWidget* child, core::PixelRect rect, bool widens = false);

// The colours of the sunken border of every place that draws one.
void placeSetSunkenColours(const EdgeColours& colours);

}  // namespace gtk
