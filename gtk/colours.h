#pragma once
// Catalogue colours on a GTK desktop: a system colour is the colour of the GTK theme that plays
// its role (core::systemColourRole), looked up in the theme's named colours.
#include <gtk/gtk.h>

#include <string>

#include "core/colour.h"

namespace gtk {

// A colour, taking system colours from the theme of `style` (any widget's style context).
GdkRGBA toRgba(const core::Colour& colour, GtkStyleContext* style);

// A colour as CSS writes it: "rgb(r,g,b)".
std::string cssColour(const GdkRGBA& colour);

}  // namespace gtk
