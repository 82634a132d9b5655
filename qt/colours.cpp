#include "qt/colours.h"

#include <QApplication>
#include <QWidget>

namespace qt {
namespace {

// The palette group and role that play the part of a system colour here.
QPalette::ColorGroup groupOf(core::ColourGroup group) {
    switch (group) {
        case core::ColourGroup::Inactive:
            return QPalette::Inactive;
        case core::ColourGroup::Disabled:
            return QPalette::Disabled;
        case core::ColourGroup::Active:
            break;
    }
    return QPalette::Active;
}

QPalette::ColorRole roleOf(core::ColourPart part) {
    using P = core::ColourPart;
    switch (part) {
        case P::Window:
            return QPalette::Window;
        case P::WindowText:
            return QPalette::WindowText;
        case P::Base:
            return QPalette::Base;
        case P::Text:
            return QPalette::Text;
        case P::Button:
            return QPalette::Button;
        case P::ButtonText:
            return QPalette::ButtonText;
        case P::Light:
            return QPalette::Light;
        case P::Midlight:
            return QPalette::Midlight;
        case P::Dark:
            return QPalette::Dark;
        case P::Shadow:
            return QPalette::Shadow;
        case P::Highlight:
            return QPalette::Highlight;
        case P::HighlightedText:
            return QPalette::HighlightedText;
        case P::ToolTipBase:
            return QPalette::ToolTipBase;
        case P::ToolTipText:
            return QPalette::ToolTipText;
    }
    return QPalette::Button;
}

}  // namespace

QColor toQColor(const core::Colour& colour, const QPalette& palette) {
    if (!colour.system) return QColor(colour.red, colour.green, colour.blue);
    const core::SystemColourRole system = core::systemColourRole(colour.systemIndex);
    return palette.color(groupOf(system.group), roleOf(system.part));
}

std::optional<QColor> colourFromValue(std::int32_t value, const QPalette& palette) {
    const auto decoded = core::decodeColour(value);
    if (!decoded) return std::nullopt;
    return toQColor(*decoded, palette);
}

void applyColour(QWidget* widget, QPalette::ColorRole role, const core::Colour& colour) {
    // System colours are the desktop's, not whatever this widget was given before.
    QPalette palette = widget->palette();
    palette.setColor(role, toQColor(colour, QApplication::palette()));
    widget->setPalette(palette);
}

void applyColour(QWidget* widget, QPalette::ColorRole role, std::int32_t value) {
    if (const auto decoded = core::decodeColour(value)) applyColour(widget, role, *decoded);
}

}  // namespace qt
