#pragma once
// The menu window on GTK 3: a GtkWindow whose controls are built from the layout table at fixed
// positions, shown as the menu's logic (core::Menu) writes them, with the user's events forwarded
// to it. The same window as the Qt one: geometry, fonts, colours, classic edges, access keys,
// keyboard order, no default button, and the names a screen reader speaks.
#include <gtk/gtk.h>

#include <array>
#include <optional>
#include <string>

#include "core/window.h"

namespace core {
class Menu;
}

namespace gtk {

// The resolution the window is laid out at: the desktop's font resolution as GTK has it
// (Xft.dpi on X11, the text scaling on Wayland: the setting gtk-xft-dpi), or 96 when none is set.
// GDK_DPI_SCALE, which scales GTK's own text only, is not applied: the layout's fonts are pixel
// sizes that grow with the rest of the window, as in the Qt window.
int layoutDpi();

class MenuWindow final : public core::Window {
public:
    explicit MenuWindow(int dpi = layoutDpi());
    ~MenuWindow() override;
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;

    // Forwards the user's events (highlight, double click, buttons, closing) to `menu` from now on.
    void connectTo(core::Menu& menu);

    // Shows the window with the focus on the picture.
    void show();

    GtkWindow* window() const { return window_; }
    int dpi() const { return dpi_; }
    // The widget at a control's place in the layout (a text box's, the list's or the picture's
    // sunken frame), named after its row; the client area at Control::Window.
    GtkWidget* control(core::Control control) const { return outer_[int(control)]; }
    // The widget that takes the focus and holds the content (the entry, the text view, the tree
    // view, the drawing area); the control itself where there is no frame around it.
    GtkWidget* inner(core::Control control) const { return inner_[int(control)]; }

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
    struct Paint {
        std::optional<core::Colour> background, text;
        GtkCssProvider* provider = nullptr;
    };

    void build();
    GtkWidget* create(const core::ControlRow& row);
    void applyColours(core::Control control);
    void describe();  // the window's description for screen readers, from its lines
    void moveFocus(bool forward);
    static gboolean onKey(GtkWidget* widget, GdkEventKey* event, gpointer self);

    int dpi_;
    GtkWindow* window_ = nullptr;
    std::array<GtkWidget*, core::ControlCount> outer_{};
    std::array<GtkWidget*, core::ControlCount> inner_{};
    std::array<Paint, core::ControlCount> paint_{};
    GtkListStore* items_ = nullptr;
    GdkPixbuf* picture_ = nullptr;
    core::Menu* menu_ = nullptr;
    bool selecting_ = false;  // the logic is setting the highlight itself
    bool closed_ = false;
};

}  // namespace gtk
