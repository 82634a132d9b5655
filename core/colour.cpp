#include "core/colour.h"

namespace core {

std::optional<Colour> decodeColour(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    if (bits & 0x80000000u) {
        const std::uint32_t index = bits & 0xFFu;
        if ((bits & 0x7FFFFF00u) != 0 || index >= SystemColourCount) return std::nullopt;
        return Colour{true, int(index)};
    }
    if (bits & 0xFF000000u) return std::nullopt;
    return Colour{false, 0, std::uint8_t(bits & 0xFF), std::uint8_t((bits >> 8) & 0xFF),
                  std::uint8_t((bits >> 16) & 0xFF)};
}

}  // namespace core

namespace core {

SystemColourRole systemColourRole(int index) {
    using G = ColourGroup;
    using P = ColourPart;
    static constexpr SystemColourRole roles[SystemColourCount] = {
        {G::Active, P::Button},           // 0 scroll bar
        {G::Active, P::Dark},             // 1 desktop
        {G::Active, P::Highlight},        // 2 active title bar
        {G::Inactive, P::Highlight},      // 3 inactive title bar
        {G::Active, P::Window},           // 4 menu bar
        {G::Active, P::Base},             // 5 window background
        {G::Active, P::Shadow},           // 6 window frame
        {G::Active, P::WindowText},       // 7 menu text
        {G::Active, P::Text},             // 8 window text
        {G::Active, P::HighlightedText},  // 9 title bar text
        {G::Active, P::Button},           // 10 active border
        {G::Inactive, P::Button},         // 11 inactive border
        {G::Active, P::Dark},             // 12 application workspace
        {G::Active, P::Highlight},        // 13 highlight
        {G::Active, P::HighlightedText},  // 14 highlight text
        {G::Active, P::Button},           // 15 button face
        {G::Active, P::Dark},             // 16 button shadow
        {G::Disabled, P::Text},           // 17 grey text
        {G::Active, P::ButtonText},       // 18 button text
        {G::Inactive, P::WindowText},     // 19 inactive title bar text
        {G::Active, P::Light},            // 20 button highlight
        {G::Active, P::Shadow},           // 21 3D dark shadow
        {G::Active, P::Midlight},         // 22 3D light
        {G::Active, P::ToolTipText},      // 23 tooltip text
        {G::Active, P::ToolTipBase},      // 24 tooltip background
    };
    return roles[index >= 0 && index < SystemColourCount ? index : 15];
}

}  // namespace core
