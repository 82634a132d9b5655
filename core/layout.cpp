#include "core/layout.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace core {
namespace {

constexpr std::int32_t Blue = 0x00FF0000;
constexpr std::int32_t LightGrey = 0x00C0C0C0;
constexpr std::int32_t Yellow = 0x0000FFFF;
constexpr auto none = std::nullopt;

using C = Control;
using K = Kind;
using F = FontKind;

// clang-format off
// name, role, kind, container, left, top, width, height, tab index, caption, font, background,
// enabled (the document buttons stay off unless the catalogue turns them on)
constexpr ControlRow rows[] = {
    {"Frame5", C::DescriptionPanel, K::Frame, C::Window, 0, 3120, 5652, 2052, 16, "Frame5", F::None, LightGrey},
    {"Text2", C::DescriptionBox, K::MultiLineTextBox, C::DescriptionPanel, 120, 200, 5415, 1572, 18, "Text2", F::Regular, none},
    {"Label4", C::DateLine, K::Label, C::DescriptionPanel, 3600, 1800, 1872, 192, 20, "Date: 31. December 1999", F::Bold, none},
    {"Label5", C::PublisherLine, K::Label, C::DescriptionPanel, 120, 1800, 3024, 192, 19, "Published by Here will be the publisher", F::Bold, none},
    {"Label3", C::DescriptionHeading, K::Label, C::DescriptionPanel, 120, 0, 1548, 192, 17, "Program description", F::Bold, none},
    {"Frame4", C::SizePanel, K::Frame, C::Window, 4450, 2400, 1212, 732, 13, "Frame4", F::None, LightGrey},
    {"Text1", C::SizeBox, K::TextBox, C::SizePanel, 240, 380, 732, 288, 15, "Text1", F::Regular, none},
    {"Label2", C::SizeHeading, K::Label, C::SizePanel, 240, 0, 780, 432, 14, "Size in Kb (installed)", F::Bold, none},
    {"Frame3", C::ListPanel, K::Frame, C::Window, 0, 1000, 4572, 2136, 9, "Frame3", F::None, LightGrey},
    {"List1", C::ProgramList, K::ListBox, C::ListPanel, 120, 180, 4332, 1680, 12, "", F::Bold, none},
    {"Label7", C::DoubleClickHint, K::Label, C::ListPanel, 2880, 0, 1500, 210, 11, "Double Click to install", F::Hint, Yellow},
    {"Label1", C::ListHeading, K::Label, C::ListPanel, 120, 0, 1548, 192, 10, "Programs on this CD", F::Bold, none},
    {"Frame2", C::ButtonPanel, K::Frame, C::Window, 4560, 0, 1092, 2402, 4, "Frame2", F::None, Blue},
    {"Command4", C::ExitButton, K::Button, C::ButtonPanel, 120, 1920, 852, 372, 8, "&Exit", F::Regular, none},
    {"Command3", C::LicenseButton, K::Button, C::ButtonPanel, 120, 1320, 852, 492, 7, "Show &License", F::Regular, none, false},
    {"Command2", C::ReadmeButton, K::Button, C::ButtonPanel, 120, 720, 852, 492, 6, "Show &Readme", F::Regular, none, false},
    {"Command1", C::BrowseButton, K::Button, C::ButtonPanel, 120, 120, 852, 492, 5, "&Browse CD", F::Regular, none},
    {"Frame1", C::InstallPanel, K::Frame, C::Window, 3480, 0, 1212, 987, 2, "Frame1", F::None, Blue},
    {"Command5", C::InstallButton, K::Button, C::InstallPanel, 120, 120, 975, 732, 3, "&Install highlighted program", F::Bold, none},
    {"Picture1", C::Picture, K::Picture, C::Window, 120, 80, 2430, 960, 0, "", F::None, none},
    {"Label6", C::CountLine, K::Label, C::Window, 2640, 120, 1095, 855, 1, "2 Great Programs ready for installation", F::Bold, none},
};
// clang-format on

// Rounds a non-negative a/b half up; negative values mirror the positive ones.
int divideRounded(long long a, long long b) {
    const long long magnitude = (std::llabs(a) * 2 + b) / (2 * b);
    return int(a < 0 ? -magnitude : magnitude);
}

}  // namespace

std::span<const ControlRow> layoutTable() { return rows; }

const ControlRow& rowOf(Control control) {
    for (const ControlRow& row : rows) {
        if (row.control == control) return row;
    }
    std::abort();  // every control but the window has a row
}

std::span<const Control> keyboardOrder() {
    static const auto order = [] {
        std::array<const ControlRow*, std::size(rows)> focusable{};
        std::size_t count = 0;
        for (const ControlRow& row : rows) {
            if (takesFocus(row)) focusable[count++] = &row;
        }
        std::stable_sort(focusable.begin(), focusable.begin() + count,
                         [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
        std::pair<std::array<Control, std::size(rows)>, std::size_t> made{{}, count};
        for (std::size_t i = 0; i < count; ++i) made.first[i] = focusable[i]->control;
        return made;
    }();
    return {order.first.data(), order.second};
}

std::span<const Control> stackingOrder() {
    static const auto order = [] {
        // How many containers lie between a row and the window.
        const auto depth = [](const ControlRow& row) {
            int levels = 0;
            for (Control c = row.container; c != Control::Window; c = rowOf(c).container) ++levels;
            return levels;
        };
        std::array<const ControlRow*, std::size(rows)> sorted{};
        for (std::size_t i = 0; i < std::size(rows); ++i) sorted[i] = &rows[i];
        // Stable: labels keep the design's order among themselves.
        std::stable_sort(sorted.begin(), sorted.end(), [&](const ControlRow* a, const ControlRow* b) {
            if (depth(*a) != depth(*b)) return depth(*a) < depth(*b);
            if (liesBeneath(*a) != liesBeneath(*b)) return liesBeneath(*b);
            return !liesBeneath(*a) && a->tabIndex < b->tabIndex;
        });
        std::array<Control, std::size(rows)> made{};
        for (std::size_t i = 0; i < std::size(rows); ++i) made[i] = sorted[i]->control;
        return made;
    }();
    return order;
}

std::optional<Control> nextFocus(std::optional<Control> from, bool forward,
                                 const std::function<bool(Control)>& canTakeFocus) {
    const std::span<const Control> order = keyboardOrder();
    const int count = int(order.size());
    const auto found = from ? std::find(order.begin(), order.end(), *from) : order.end();
    // Outside the order, the step lands on the first (forward) or the last control.
    const int at = found != order.end() ? int(found - order.begin()) : forward ? count - 1 : 0;
    for (int step = 1; step <= count; ++step) {
        const Control next = order[std::size_t(((at + (forward ? step : -step)) % count + count) % count)];
        if (canTakeFocus(next)) return next;
    }
    return std::nullopt;
}

AccessibleRole accessibleRole(Control control) {
    if (control == Control::Window) return AccessibleRole::Frame;
    switch (rowOf(control).kind) {
        case Kind::Frame:
            return AccessibleRole::Panel;
        case Kind::Label:
            return AccessibleRole::Label;
        case Kind::TextBox:
        case Kind::MultiLineTextBox:
            return AccessibleRole::ReadOnlyText;
        case Kind::ListBox:
            return AccessibleRole::List;
        case Kind::Button:
            return AccessibleRole::Button;
        case Kind::Picture:
            return AccessibleRole::Picture;
    }
    return AccessibleRole::Panel;
}

const char* accessibleDescription(Control control) {
    return control == Control::Picture ? "The medium's picture" : "";
}

std::span<const Control> windowDescriptionLines() {
    static constexpr Control lines[] = {Control::CountLine, Control::PublisherLine, Control::DateLine};
    return lines;
}

std::string windowDescription(const std::function<std::string(Control)>& textOf) {
    std::string description;
    for (Control line : windowDescriptionLines()) {
        std::string text = textOf(line);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
        if (text.empty()) continue;
        // Each line a sentence of its own, so that a screen reader pauses between them.
        if (text.back() != '.' && text.back() != '!' && text.back() != '?') text += '.';
        description += (description.empty() ? "" : " ") + text;
    }
    return description;
}

Control accessibleNameFrom(Control control) {
    switch (control) {
        case Control::ProgramList:
            return Control::ListHeading;
        case Control::SizeBox:
            return Control::SizeHeading;
        case Control::DescriptionBox:
            return Control::DescriptionHeading;
        case Control::Picture:
            return Control::Window;
        default:
            return control;
    }
}

std::string accessibleName(Control control) {
    const Control source = accessibleNameFrom(control);
    if (source == Control::Window) return PlaceholderCaption;
    if (rowOf(source).kind == Kind::Frame) return {};  // a panel's caption is never shown
    std::string name;
    for (const char* c = rowOf(source).caption; *c; ++c) {
        // "&&" is a literal ampersand, a single "&" marks the access key.
        if (*c == '&' && *++c == '\0') break;
        name += *c;
    }
    return name;
}

int twipsToPixels(int twips, int dpi) { return divideRounded(static_cast<long long>(twips) * dpi, 1440); }

PixelRect pixelRect(const ControlRow& row, int dpi) {
    const int x = twipsToPixels(row.left, dpi);
    const int y = twipsToPixels(row.top, dpi);
    return {x, y, twipsToPixels(row.left + row.width, dpi) - x, twipsToPixels(row.top + row.height, dpi) - y};
}

int fontPixels(FontKind font, int dpi) {
    // Point sizes in hundredths: 7.5 pt and 8.25 pt; 72 points to the inch. Rounded down, so that
    // text never grows faster than the boxes it was laid out in: 7.5 pt is 12.5 pixels at 120 dpi,
    // and at 13 the count line's "installation!" runs under the install panel in front of it.
    const int hundredths = font == FontKind::Hint ? 825 : 750;
    return int(static_cast<long long>(hundredths) * dpi / 7200);
}

}  // namespace core
