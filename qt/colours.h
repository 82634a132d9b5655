#pragma once
// Catalogue colours on this desktop: the system colours are the roles of Qt's palette that play
// the same part.
#include <QColor>
#include <QPalette>
#include <cstdint>
#include <optional>

#include "core/colour.h"

namespace qt {

// A colour, taking system colours from `palette`.
QColor toQColor(const core::Colour& colour, const QPalette& palette);

// The colour a value stands for, taking system colours from `palette`; nothing for a value that
// is none (an unknown system colour index, or a plain value whose high byte is not 0).
std::optional<QColor> colourFromValue(std::int32_t value, const QPalette& palette);

// Sets `role` of `widget`'s palette to the colour of `value`; leaves it as it is when the value
// stands for no colour.
void applyColour(class QWidget* widget, QPalette::ColorRole role, std::int32_t value);
void applyColour(class QWidget* widget, QPalette::ColorRole role, const core::Colour& colour);

}  // namespace qt
