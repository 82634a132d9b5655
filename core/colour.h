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
