#include "gtk/colours.h"

#include <algorithm>
#include <cmath>

namespace gtk {
namespace {

GdkRGBA named(GtkStyleContext* style, const char* name, const GdkRGBA& fallback) {
    GdkRGBA colour;
    return style && gtk_style_context_lookup_color(style, name, &colour) ? colour : fallback;
}

// A shade of `colour`: its channels times `factor`, at most white.
GdkRGBA shade(GdkRGBA colour, double factor) {
    for (double* channel : {&colour.red, &colour.green, &colour.blue})
        *channel = std::min(1.0, *channel * factor);
    return colour;
}

}  // namespace

GdkRGBA toRgba(const core::Colour& colour, GtkStyleContext* style) {
    if (!colour.system) return GdkRGBA{colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, 1.0};
    using G = core::ColourGroup;
    using P = core::ColourPart;
    const core::SystemColourRole role = core::systemColourRole(colour.systemIndex);
    const GdkRGBA black{0, 0, 0, 1}, white{1, 1, 1, 1};
    const GdkRGBA face = named(style, "theme_bg_color", GdkRGBA{0.94, 0.94, 0.94, 1});
    const bool inactive = role.group == G::Inactive, disabled = role.group == G::Disabled;
    switch (role.part) {
        case P::Window:
        case P::Button:
            return face;
        case P::WindowText:
        case P::ButtonText:
            if (disabled) return named(style, "insensitive_fg_color", shade(face, 0.6));
            return inactive ? named(style, "theme_unfocused_fg_color", named(style, "theme_fg_color", black))
                            : named(style, "theme_fg_color", black);
        case P::Base:
            return named(style, "theme_base_color", white);
        case P::Text:
            if (disabled) return named(style, "insensitive_fg_color", shade(face, 0.6));
            return named(style, "theme_text_color", black);
        // The edges of raised and sunken controls are shades of the face colour, as classic
        // desktops derive them (a face of 239 gives edges of 255, 192, 159 and 118).
        case P::Light:
            return shade(face, 1.5);
        case P::Midlight:
            return shade(face, 0.8);
        case P::Dark:
            return shade(face, 2.0 / 3.0);
        case P::Shadow:
            return shade(face, 0.494);
        case P::Highlight:
            return inactive ? named(style, "theme_unfocused_selected_bg_color",
                                    named(style, "theme_selected_bg_color", GdkRGBA{0.19, 0.55, 0.78, 1}))
                            : named(style, "theme_selected_bg_color", GdkRGBA{0.19, 0.55, 0.78, 1});
        case P::HighlightedText:
            return named(style, "theme_selected_fg_color", white);
        case P::ToolTipBase:
            return named(style, "theme_tooltip_bg_color", GdkRGBA{1, 1, 220 / 255.0, 1});
        case P::ToolTipText:
            return named(style, "theme_tooltip_fg_color", black);
    }
    return face;
}

std::string cssColour(const GdkRGBA& colour) {
    const auto channel = [](double value) {
        return std::to_string(int(std::lround(std::clamp(value, 0.0, 1.0) * 255)));
    };
    return "rgb(" + channel(colour.red) + "," + channel(colour.green) + "," + channel(colour.blue) + ")";
}

}  // namespace gtk
