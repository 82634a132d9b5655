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
