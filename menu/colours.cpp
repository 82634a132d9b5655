#include "menu/colours.h"

#include <QApplication>
#include <QWidget>
#include <array>

namespace menu {
namespace {

struct SystemColour {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The system colour indexes 0 to 24 and the palette roles that play the same part here.
constexpr std::array<SystemColour, 25> systemColours{{
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

std::optional<QColor> colourFromValue(std::int32_t value, const QPalette& palette) {
    const auto bits = static_cast<std::uint32_t>(value);
    if (bits & 0x80000000u) {
        const std::uint32_t index = bits & 0xFFu;
        if ((bits & 0x7FFFFF00u) != 0 || index >= systemColours.size()) return std::nullopt;
        return palette.color(systemColours[index].group, systemColours[index].role);
    }
    if (bits & 0xFF000000u) return std::nullopt;
    return QColor(int(bits & 0xFF), int((bits >> 8) & 0xFF), int((bits >> 16) & 0xFF));
}

void applyColour(QWidget* widget, QPalette::ColorRole role, std::int32_t value) {
    // System colours are the desktop's, not whatever this widget was given before.
    const auto colour = colourFromValue(value, QApplication::palette());
    if (!colour) return;
    QPalette palette = widget->palette();
    palette.setColor(role, *colour);
    widget->setPalette(palette);
}

}  // namespace menu
