#pragma once
// Catalogue colour values: hexadecimal 00BBGGRR for a plain colour; the top bit set and an index
// in the low byte for one of the desktop's system colours, which a front end looks up itself.
#include <cstdint>
#include <optional>

namespace core {

struct Colour {
    bool system = false;
    int systemIndex = 0;  // 0 to 24 when `system`
    std::uint8_t red = 0, green = 0, blue = 0;

    friend bool operator==(const Colour&, const Colour&) = default;
};

inline constexpr int SystemColourCount = 25;

// The colour a value stands for; nothing for a value that is none (an unknown system colour
// index, or a plain value whose high byte is not 0), which leaves a control as it is.
std::optional<Colour> decodeColour(std::int32_t value);

}  // namespace core

namespace core {

// What a system colour is for on a desktop that names its colours by role rather than by the 25
// indexes: each front end looks the role up in its own toolkit's colours.
enum class ColourGroup : std::uint8_t { Active, Inactive, Disabled };
enum class ColourPart : std::uint8_t {
    Window,      // a window's or panel's background
    WindowText,  // text on it
    Base,        // the background of a text box or list
    Text,        // text on it
    Button,      // a button's face
    ButtonText,
    Light,     // a raised edge's lit side
    Midlight,  // between Button and Light
    Dark,      // a raised edge's shaded side
    Shadow,    // the darkest edge
    Highlight,
    HighlightedText,
    ToolTipBase,
    ToolTipText,
};
struct SystemColourRole {
    ColourGroup group;
    ColourPart part;
};

// The role of system colour `index` (0 to 24).
SystemColourRole systemColourRole(int index);

}  // namespace core
