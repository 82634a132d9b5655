#pragma once
// What the menu's logic needs of a window. Each front end (Qt and GTK on Linux, Win32 on Windows)
// builds the controls of the layout table, with the rules that follow from it (core/layout.h:
// keyboard order, start-up state, stacking, screen-reader names), and implements this over them;
// the logic never sees a widget. All text is UTF-8.
#include <string>

#include "core/colour.h"
#include "core/layout.h"

namespace core {

enum class ColourRole { Background, Text };

class Window {
public:
    virtual ~Window() = default;

    // The window's title bar text, shown as written.
    virtual void setCaption(const std::string& text) = 0;

    // A label's caption or a text box's text, shown as written (an "&" is no access key here).
    virtual void setText(Control control, const std::string& text) = 0;
    virtual std::string text(Control control) const = 0;

    virtual void setVisible(Control control, bool visible) = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    // The background or text colour of the window (Control::Window, background only), a label,
    // the list or a text box. System colours are the desktop's own.
    virtual void setColour(Control control, ColourRole role, Colour colour) = 0;

    // The program list: append an item at the end; highlight an item (this raises no highlight
    // event: the logic runs its own handler); the highlighted item (-1: none) and an item's text.
    virtual void addListItem(const std::string& text) = 0;
    virtual void selectListItem(int index) = 0;
    virtual int selectedListItem() const = 0;
    virtual std::string listItem(int index) const = 0;

    // Unloads the window: it disappears at once and raises no more events.
    virtual void close() = 0;
};

}  // namespace core
