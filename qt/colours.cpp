#include "qt/colours.h"

#include <QApplication>
#include <QWidget>
#include <array>

namespace qt {
namespace {

struct SystemColour {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The system colour indexes 0 to 24 and the palette roles that play the same part here.
constexpr std::array<SystemColour, core::SystemColourCount> systemColours{{
    {QPalette::Active, QPalette::Button},           // 0 scroll bar
    {QPalette::Active, QPalette::Dark},             // 1 desktop
    {QPalette::Active, QPalette::Highlight},        // 2 active title bar
    {QPalette::Inactive, QPalette::Highlight},      // 3 inactive title bar
    {QPalette::Active, QPalette::Window},           // 4 menu bar
    {QPalette::Active, QPalette::Base},             // 5 window background
    {QPalette::Active, QPalette::Shadow},           // 6 window frame
    {QPalette::Active, QPalette::WindowText},       // 7 menu text
    {QPalette::Active, QPalette::Text},             // 8 window text
    {QPalette::Active, QPalette::HighlightedText},  // 9 title bar text
    {QPalette::Active, QPalette::Button},           // 10 active border
    {QPalette::Inactive, QPalette::Button},         // 11 inactive border
    {QPalette::Active, QPalette::Dark},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},        // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},  // 14 highlight text
    {QPalette::Active, QPalette::Button},           // 15 button face
    {QPalette::Active, QPalette::Dark},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},           // 17 grey text
    {QPalette::Active, QPalette::ButtonText},       // 18 button text
    {QPalette::Inactive, QPalette::WindowText},     // 19 inactive title bar text
    {QPalette::Active, QPalette::Light},            // 20 button highlight
    {QPalette::Active, QPalette::Shadow},           // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},         // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},      // 23 tooltip text
    {QPalette::Active, QPalette::ToolTipBase},      // 24 tooltip background
}};

}  // namespace

QColor toQColor(const core::Colour& colour, const QPalette& palette) {
    if (!colour.system) return QColor(colour.red, colour.green, colour.blue);
    const SystemColour& system = systemColours.at(std::size_t(colour.systemIndex));
    return palette.color(system.group, system.role);
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
