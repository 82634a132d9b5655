#pragma once
// The menu window's design-time layout, as data: one row per control, in twips, named as in the
// window's design ("Command5"), with the role the logic knows it by (Control::InstallButton).
// Each front end builds its controls from these rows with the one conversion below.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace core {

// The controls by what they are for.
enum class Control : std::uint8_t {
    Window,  // the menu window itself: its caption and background
    DescriptionPanel,
    DescriptionBox,
    DateLine,
    PublisherLine,
    DescriptionHeading,
    SizePanel,
    SizeBox,
    SizeHeading,
    ListPanel,
    ProgramList,
    DoubleClickHint,
    ListHeading,
    ButtonPanel,
    ExitButton,
    LicenseButton,
    ReadmeButton,
    BrowseButton,
    InstallPanel,
    InstallButton,
    Picture,
    CountLine,
};
inline constexpr int ControlCount = int(Control::CountLine) + 1;

enum class Kind { Frame, Label, TextBox, MultiLineTextBox, ListBox, Button, Picture };
enum class FontKind { None, Regular, Bold, Hint };  // Arial 7.5 pt, 7.5 pt bold, 8.25 pt

struct ControlRow {
    const char* name;  // the control's name in the design
    Control control;
    Kind kind;
    Control container;             // Control::Window: the window's client area
    int left, top, width, height;  // twips, from the container's inner top-left corner
    int tabIndex;                  // position in the keyboard order (labels and frames never take the focus)
    const char* caption;           // UTF-8; "&" marks a button's access key
    FontKind font;
    std::optional<std::int32_t> background;  // design-time colour, 00BBGGRR
    bool enabled = true;                     // at start-up, before the catalogue is read
};

// The height of one line of 7.5 pt in a label, in twips.
inline constexpr int OneLineLabelHeight = 192;

// Labels at least two lines high (the count line, the size heading) wrap their text within their
// box; the others hold one line and may widen to show all of it.
inline bool wrapsText(const ControlRow& row) {
    return row.kind == Kind::Label && row.height >= 2 * OneLineLabelHeight;
}

// Labels and frames never take the focus; every other control is a tab stop.
inline bool takesFocus(const ControlRow& row) { return row.kind != Kind::Label && row.kind != Kind::Frame; }

// The window's client area, in twips.
inline constexpr int ClientWidth = 5655;
inline constexpr int ClientHeight = 5175;

// The design-time caption of the window, replaced at start-up.
inline constexpr char PlaceholderCaption[] = "Here will be you CD's title (subtitle in brackets)";

// Where windowed controls overlap, these are stacked in front, each over the ones before it: the
// panels that hold the list, the description and the install button are in front, so that none
// of their own controls is cut, and the picture's border shows in full. Labels lie beneath every
// control beside them.
inline constexpr Control FrontOrder[] = {Control::SizePanel,        Control::ListPanel,
                                         Control::DescriptionPanel, Control::ButtonPanel,
                                         Control::InstallPanel,     Control::Picture};

// Labels lie beneath every control beside them.
inline bool liesBeneath(const ControlRow& row) { return row.kind == Kind::Label; }

// The rows, each container before the controls it holds, in the design's order.
std::span<const ControlRow> layoutTable();

// The row of a control (never Control::Window, which has none).
const ControlRow& rowOf(Control control);

// The controls that take the focus, in the keyboard order of their tab index.
std::span<const Control> keyboardOrder();

// The rows in the order a front end creates them where each new control is stacked beneath the
// ones already in its container (Win32), so that they need no restacking afterwards: every
// container before the controls it holds; within one container, from the front to the back: the
// controls that are not labels by tab index (the order a screen reader reads them in), then the
// labels, which lie beneath them, in the design's order.
std::span<const Control> stackingOrder();

// Where Tab (`forward`) or Shift+Tab takes the focus from `from`: the next control in the
// keyboard order, wrapping around at either end, that `canTakeFocus` (visible and enabled now).
// From no control or one outside the order, Tab goes to the first and Shift+Tab to the last.
// None when no control can take the focus.
std::optional<Control> nextFocus(std::optional<Control> from, bool forward,
                                 const std::function<bool(Control)>& canTakeFocus);

// What a screen reader is told a control is. The window is a frame (a top-level window); the
// panels and the picture are not, so that a screen reader follows the focus inside them.
enum class AccessibleRole { Frame, Panel, Label, ReadOnlyText, List, Button, Picture };
AccessibleRole accessibleRole(Control control);

// The control whose text names `control` to a screen reader: the heading above the list and each
// text box, the window (its caption) for the picture, which shows the medium's own artwork; the
// control itself for the others (a button's caption, without its access-key mark).
Control accessibleNameFrom(Control control);

// The caption of the control that names `control`, as designed (the window's placeholder caption
// for the picture). A front end updates the picture's name when the caption changes.
std::string accessibleName(Control control);

// What a screen reader says after a control's name and role: the picture's, what it shows
// (its name is the caption, which the window's title says too); empty for the others.
const char* accessibleDescription(Control control);

// The window's description, heard when it opens: the lines that never take the focus and so are
// never heard otherwise (the count line, the publisher, the date), each as `textOf` gives its
// current text, one sentence each. A front end sets it again when one of `windowDescriptionLines`
// changes.
std::span<const Control> windowDescriptionLines();
std::string windowDescription(const std::function<std::string(Control)>& textOf);

// Layout units: 1440 twips to the inch, so 15 twips to the pixel at 96 dots per inch and 12 at
// 120. Every edge is rounded the same way (half up), so neighbouring controls that share an edge
// in twips share it in pixels.
int twipsToPixels(int twips, int dpi = 96);

struct PixelRect {
    int x, y, width, height;
};
// A row's rectangle in pixels, each edge converted on its own.
PixelRect pixelRect(const ControlRow& row, int dpi = 96);

// Font sizes: Arial 7.5 pt and 8.25 pt, in whole pixels at `dpi`, rounded down (10 and 11 at 96
// dpi, 12 and 13 at 120): a text grows no faster than the layout's boxes.
int fontPixels(FontKind font, int dpi = 96);

}  // namespace core
