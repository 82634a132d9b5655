#pragma once
// Builds the Qt widgets of the menu window from the layout table.
#include <QRect>
#include <array>

#include "core/layout.h"

class QLabel;
class QWidget;
class QStyle;

namespace qt {

// A row's rectangle in pixels at 96 dpi (Qt scales for the screen itself).
QRect twipsRect(const core::ControlRow& row);

// Every control of the window, by role; the window itself at Control::Window.
using Controls = std::array<QWidget*, core::ControlCount>;

// Creates every control of the table as a child of `window` (or of its frame), named after its
// row, with geometry, caption, font, colour and stacking; then sets the keyboard order.
Controls buildLayout(QWidget* window, QStyle* style);

// Widens a one-line label to show its whole text, as far as its container reaches; never narrows.
void widenToFit(QLabel* label);

}  // namespace qt
