#pragma once
// The menu window on Windows: real Win32 controls built from the core's layout table, at the
// system's DPI, implementing core::Window. Events go to core::Menu; keyboard navigation (Tab
// order, access keys) is the window's own, so it follows the layout's tab order exactly.
#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "core/window.h"

namespace core {
class Menu;
}

namespace win32 {

class MenuWindow final : public core::Window {
public:
    // Creates the window and its controls, hidden. `dpi` is the screen's (96 is 100%).
    MenuWindow(HINSTANCE instance, int dpi);
    ~MenuWindow() override;
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;

    // Where the window's events go from now on.
    void connect(core::Menu& menu) { menu_ = &menu; }

    // The top-level window; null once it is closed.
    HWND handle() const { return hwnd_; }

    // Shows the window with the focus on the picture box.
    void show(int showCommand);

    // Keyboard handling for the message loop, before TranslateMessage: Tab and Shift+Tab move
    // through the tab order, Alt+letter presses the button with that access key, Enter and Esc do
    // nothing. True when the message was taken and must not be dispatched.
    bool translateKey(const MSG& msg);

    // core::Window
    void setCaption(const std::string& text) override;
    void setText(core::Control control, const std::string& text) override;
    std::string text(core::Control control) const override;
    void setVisible(core::Control control, bool visible) override;
    void setEnabled(core::Control control, bool enabled) override;
    void setColour(core::Control control, core::ColourRole role, core::Colour colour) override;
    void addListItem(const std::string& text) override;
    void selectListItem(int index) override;
    int selectedListItem() const override;
    std::string listItem(int index) const override;
    void close() override;

private:
    // A colour as set and what it stands for now (system colours follow the desktop).
    struct Paint {
        core::Colour colour;
        COLORREF rgb = 0;
        HBRUSH brush = nullptr;  // owned; only for backgrounds
        void set(core::Colour value, bool withBrush);
        void refresh(bool withBrush);
        void release();
    };
    struct Item {
        const core::ControlRow* row = nullptr;
        HWND hwnd = nullptr;
        HWND namer = nullptr;  // the hidden static that names it to a screen reader
        RECT rect{};           // in the container's client coordinates
        std::string text;
        wchar_t accessKey = 0;
        Paint background, foreground;
        bool coloured = false;  // background and foreground apply (labels, list, text boxes, frames)
    };

    static LRESULT CALLBACK mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void registerClasses();
    void createControls();
    void cutOverlaps();
    void onCommand(Item& item, int code);
    LRESULT onControlColour(HDC dc, HWND control);
    void paintPicture(HWND hwnd);
    void moveFocus(int step);
    // Widens a one-line label to its text, up to its container's right edge; never narrows it.
    void fitLabel(Item& item);
    HDC measuringDc();           // made on first use, kept for the window's life
    void repaint(HWND control);  // erases and redraws it, once the window shows
    Item* itemOf(HWND hwnd);
    Item& item(core::Control control) { return items_[std::size_t(control)]; }
    const Item& item(core::Control control) const { return items_[std::size_t(control)]; }

    HINSTANCE instance_;
    int dpi_;
    HWND hwnd_ = nullptr;
    core::Menu* menu_ = nullptr;
    bool closed_ = false;
    HWND lastFocus_ = nullptr;                      // given back when the window is activated again
    std::array<Item, core::ControlCount> items_{};  // by core::Control; [Window] is the window itself
    std::array<HFONT, 4> fonts_{};                  // by core::FontKind
    HBITMAP picture_ = nullptr;
    HDC measuring_ = nullptr;
};

}  // namespace win32
