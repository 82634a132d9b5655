#pragma once
// A window that records what the menu's logic writes into it, for the core tests: caption, texts,
// visibility, enabled state, colours by control and role, the list and its highlight, close. It
// starts in the design's state: everything visible, each control enabled as its row says.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/window.h"

namespace testwindow {

class FakeWindow final : public core::Window {
public:
    // When set, close() is also recorded here ("window close"), so that a test can order it among
    // the platform's calls.
    explicit FakeWindow(std::vector<std::string>* events = nullptr) : events_(events) {
        visible.fill(true);
        enabled.fill(true);
        for (const core::ControlRow& row : core::layoutTable()) enabled[int(row.control)] = row.enabled;
    }

    std::string caption = core::PlaceholderCaption;
    std::array<std::string, core::ControlCount> texts;
    std::array<bool, core::ControlCount> visible{};
    std::array<bool, core::ControlCount> enabled{};
    std::map<std::pair<core::Control, core::ColourRole>, core::Colour> colours;
    std::vector<std::string> items;
    int highlighted = -1;
    bool closed = false;

    // The text of `control`, or "hidden" when it is not visible.
    std::string shown(core::Control control) const {
        return visible[int(control)] ? texts[int(control)] : "hidden";
    }
    std::optional<core::Colour> colour(core::Control control, core::ColourRole role) const {
        const auto it = colours.find({control, role});
        return it == colours.end() ? std::nullopt : std::optional(it->second);
    }

    void setCaption(const std::string& text) override { caption = text; }
    void setText(core::Control control, const std::string& text) override { texts[int(control)] = text; }
    std::string text(core::Control control) const override { return texts[int(control)]; }
    void setVisible(core::Control control, bool on) override { visible[int(control)] = on; }
    void setEnabled(core::Control control, bool on) override { enabled[int(control)] = on; }
    void setColour(core::Control control, core::ColourRole role, core::Colour value) override {
        colours[{control, role}] = value;
    }
    void addListItem(const std::string& text) override { items.push_back(text); }
    void selectListItem(int index) override { highlighted = index; }
    int selectedListItem() const override { return highlighted; }
    std::string listItem(int index) const override {
        return index >= 0 && std::size_t(index) < items.size() ? items[std::size_t(index)] : std::string();
    }
    void close() override {
        closed = true;
        if (events_) events_->push_back("window close");
    }

private:
    std::vector<std::string>* events_;
};

}  // namespace testwindow
