#pragma once
// Catalogue colour values: 00BBGGRR for a plain colour, top bit set and an index in the low
// byte for one of the desktop's system colours.
#include <QColor>
#include <QPalette>
#include <cstdint>
#include <optional>

namespace menu {

// The colour a value stands for, taking system colours from `palette`; nothing for a value that
// is neither (an unknown system colour index, or a plain value whose high byte is not 0).
std::optional<QColor> colourFromValue(std::int32_t value, const QPalette& palette);

// Sets `role` of `widget`'s palette to the colour of `value`; leaves it as it is when the value
// stands for no colour.
void applyColour(class QWidget* widget, QPalette::ColorRole role, std::int32_t value);

}  // namespace menu
