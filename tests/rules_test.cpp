// The window's rules that every front end takes from the core (core/layout.h): the keyboard order
// and where Tab and Shift+Tab go, the start-up state, which labels wrap and lie beneath the
// others, and the names a screen reader speaks. The front-end tests check that each toolkit shows them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/layout.h"

namespace {

using core::Control;

std::string nameOf(std::optional<Control> control) { return control ? core::rowOf(*control).name : "none"; }

TEST(WindowRules, KeyboardOrderIsTheTabIndexOfEveryControlThatTakesTheFocus) {
    std::vector<std::string> names;
    for (Control c : core::keyboardOrder()) names.push_back(core::rowOf(c).name);
    EXPECT_EQ(names, (std::vector<std::string>{"Picture1", "Command5", "Command1", "Command2", "Command3",
                                               "Command4", "List1", "Text1", "Text2"}));
}

TEST(WindowRules, StackingOrderPutsContainersFirstAndEachContainersControlsFrontToBack) {
    // Per container, its controls from the front to the back: the boxes, buttons and panels by
    // tab index (a screen reader's reading order), then the labels beneath them.
    struct Case {
        Control container;
        std::vector<std::string> frontToBack;
    };
    const Case cases[] = {
        {Control::Window, {"Picture1", "Frame1", "Frame2", "Frame3", "Frame4", "Frame5", "Label6"}},
        {Control::InstallPanel, {"Command5"}},
        {Control::ButtonPanel, {"Command1", "Command2", "Command3", "Command4"}},
        {Control::ListPanel, {"List1", "Label7", "Label1"}},
        {Control::SizePanel, {"Text1", "Label2"}},
        {Control::DescriptionPanel, {"Text2", "Label4", "Label5", "Label3"}},
    };
    const std::span<const Control> order = core::stackingOrder();
    ASSERT_EQ(order.size(), core::layoutTable().size());
    std::set<Control> made;
    for (Control c : order) {
        const Control container = core::rowOf(c).container;
        EXPECT_TRUE(container == Control::Window || made.contains(container))
            << core::rowOf(c).name << " before its container";
        EXPECT_TRUE(made.insert(c).second) << core::rowOf(c).name << " twice";
    }
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (Control k : order) {
            if (core::rowOf(k).container == c.container) names.push_back(core::rowOf(k).name);
        }
        EXPECT_EQ(names, c.frontToBack)
            << "in " << (c.container == Control::Window ? "the window" : nameOf(c.container));
    }
}

TEST(WindowRules, TabAndShiftTabWrapAndSkipWhatCannotTakeTheFocus) {
    struct Case {
        std::optional<Control> from;
        bool forward;
        std::set<Control> unavailable;  // hidden or disabled now
        const char* expected;
    };
    const std::set<Control> documents{Control::ReadmeButton, Control::LicenseButton};
    const Case cases[] = {
        {Control::Picture, true, {}, "Command5"},
        {Control::DescriptionBox, true, {}, "Picture1"},  // wraps at the end
        {Control::Picture, false, {}, "Text2"},           // and at the start
        {Control::BrowseButton, true, documents, "Command4"},
        {Control::ExitButton, false, documents, "Command1"},
        {Control::ProgramList, true, {Control::SizeBox}, "Text2"},
        {Control::DescriptionBox, false, {Control::SizeBox}, "List1"},
        {std::nullopt, true, {}, "Picture1"},        // from outside the order: the first
        {std::nullopt, false, {}, "Text2"},          // or the last
        {Control::CountLine, true, {}, "Picture1"},  // a label is outside the order
        {std::nullopt, true, {Control::Picture}, "Command5"},
        {Control::Picture, true, {Control::InstallButton, Control::BrowseButton}, "Command2"},
    };
    for (const Case& c : cases) {
        const auto next =
            core::nextFocus(c.from, c.forward, [&](Control k) { return !c.unavailable.contains(k); });
        EXPECT_EQ(nameOf(next), c.expected)
            << "from " << nameOf(c.from) << (c.forward ? " forward" : " back");
    }
    // Only the focused control can take the focus: it keeps it; none at all: nowhere.
    EXPECT_EQ(nameOf(core::nextFocus(Control::ExitButton, true,
                                     [](Control k) { return k == Control::ExitButton; })),
              "Command4");
    EXPECT_EQ(nameOf(core::nextFocus(Control::ExitButton, false, [](Control) { return false; })), "none");
}

TEST(WindowRules, EveryRowsStartUpStateStackingWrappingAndScreenReaderName) {
    struct Case {
        Control control;
        bool enabled, takesFocus, wraps, beneath;
        const char* name;  // what a screen reader calls it at start-up (panels: nothing)
    };
    // clang-format off
    const Case cases[] = {
        {Control::DescriptionPanel, true, false, false, false, ""},
        {Control::DescriptionBox, true, true, false, false, "Program description"},
        {Control::DateLine, true, false, false, true, "Date: 31. December 1999"},
        {Control::PublisherLine, true, false, false, true, "Published by Here will be the publisher"},
        {Control::DescriptionHeading, true, false, false, true, "Program description"},
        {Control::SizePanel, true, false, false, false, ""},
        {Control::SizeBox, true, true, false, false, "Size in Kb (installed)"},
        {Control::SizeHeading, true, false, true, true, "Size in Kb (installed)"},
        {Control::ListPanel, true, false, false, false, ""},
        {Control::ProgramList, true, true, false, false, "Programs on this CD"},
        {Control::DoubleClickHint, true, false, false, true, "Double Click to install"},
        {Control::ListHeading, true, false, false, true, "Programs on this CD"},
        {Control::ButtonPanel, true, false, false, false, ""},
        {Control::ExitButton, true, true, false, false, "Exit"},
        {Control::LicenseButton, false, true, false, false, "Show License"},
        {Control::ReadmeButton, false, true, false, false, "Show Readme"},
        {Control::BrowseButton, true, true, false, false, "Browse CD"},
        {Control::InstallPanel, true, false, false, false, ""},
        {Control::InstallButton, true, true, false, false, "Install highlighted program"},
        {Control::Picture, true, true, false, false, core::PlaceholderCaption},
        {Control::CountLine, true, false, true, true, "2 Great Programs ready for installation"},
    };
    // clang-format on
    ASSERT_EQ(std::size(cases), core::layoutTable().size());
    for (const Case& c : cases) {
        const core::ControlRow& row = core::rowOf(c.control);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.enabled, c.enabled);
        EXPECT_EQ(core::takesFocus(row), c.takesFocus);
        EXPECT_EQ(core::wrapsText(row), c.wraps);
        EXPECT_EQ(core::liesBeneath(row), c.beneath);
        EXPECT_EQ(core::accessibleName(c.control), c.name);
    }
}

}  // namespace
