#pragma once
// The design-time layout of the menu window: one row per control, in twips, and the routine that
// builds the widgets from it.
#include <QRect>
#include <cstdint>
#include <optional>
#include <span>

class QLabel;
class QWidget;
class QStyle;

namespace menu {

// Layout units: 15 twips to the pixel at 96 dpi. Every edge is rounded the same way (half up),
// so neighbouring controls that share an edge in twips share it in pixels.
int twipsToPixels(int twips);
QRect twipsRect(int left, int top, int width, int height);

enum class Kind { Frame, Label, TextBox, MultiLineTextBox, ListBox, Button, Picture };
enum class FontKind { None, Regular, Bold, Hint };  // Arial 7.5 pt, 7.5 pt bold, 8.25 pt

struct ControlRow {
    const char* name;
    Kind kind;
    const char* container;         // nullptr: the window's client area
    int left, top, width, height;  // twips
    int tabIndex;                  // -1: never in the keyboard order
    const char* caption;
    FontKind font;
    std::optional<std::int32_t> background;  // design-time colour, 00BBGGRR
};

// The window's client area, in twips.
inline constexpr int ClientWidth = 5655;
inline constexpr int ClientHeight = 5175;

// The rows, containers before the controls they hold.
std::span<const ControlRow> layoutTable();

// Creates every control of the table as a child of `window` (or of its frame), named after its
// row, with geometry, caption, font, colour and stacking; then sets the keyboard order.
void buildLayout(QWidget* window, QStyle* style);

// Widens a one-line label to show its whole text, as far as its container reaches; never narrows.
void widenToFit(QLabel* label);

}  // namespace menu
