#include "gtk/menuwindow.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "core/image.h"
#include "core/menu.h"
#include "gtk/colours.h"
#include "gtk/place.h"

// The window's pictures, compiled in (cmake/embed.cmake).
extern const std::uint8_t discmenu_picture_bmp[];
extern const std::size_t discmenu_picture_bmp_size;
extern const std::uint8_t discmenu_icon_ico[];
extern const std::size_t discmenu_icon_ico_size;

namespace gtk {
namespace {

using core::Control;
using core::ControlRow;
using core::FontKind;
using core::Kind;

// The look the layout was drawn for, over whatever theme the desktop has: buttons, text boxes and
// the list drawn by the window itself with classic edges (see drawButton and place.cpp), no
// rounded corners, shadows or padding of the theme's own, and the access keys always underlined.
constexpr char ClassicCss[] = R"css(
window.discmenu button {
  background-image: none; background-color: transparent; border: none; border-radius: 0;
  box-shadow: none; text-shadow: none; -gtk-icon-shadow: none; padding: 0 2px; margin: 0;
  min-height: 0; min-width: 0; transition: none;
  outline-color: currentColor; outline-style: dotted; outline-width: 1px; outline-offset: -4px;
}
window.discmenu button label { padding: 0; margin: 0; }
window.discmenu entry {
  background-image: none; border: none; border-radius: 0; box-shadow: none; padding: 0 1px;
  margin: 0; min-height: 0; min-width: 0; outline: none;
}
window.discmenu treeview, window.discmenu textview {
  border: none; box-shadow: none; outline: none; border-radius: 0;
}
window.discmenu treeview.view { padding: 0; -GtkTreeView-vertical-separator: 0; -GtkTreeView-horizontal-separator: 0; -GtkTreeView-expander-size: 0; }
window.discmenu label { padding: 0; margin: 0; min-height: 0; min-width: 0; }
)css";

// The layout's font, as CSS and Pango write a list of families.
constexpr char FontFamilies[] = "Arial, \"Liberation Sans\", sans-serif";
constexpr char PangoFamilies[] = "Arial,Liberation Sans,sans-serif";

// The table's fonts at `dpi`, for the controls of a window with the style class `dpiClass`:
// Arial (Liberation Sans where Arial is missing) at its pixel size, bold where the row says. A CSS
// pixel of a font size is a pixel on the screen: GTK converts it to points at the desktop's
// resolution and Pango draws those at the same resolution (GDK_DPI_SCALE included).
std::string fontCss(int dpi, const std::string& dpiClass) {
    // One rule for each font, its selectors listed together: GTK parses each declaration once.
    std::string css;
    for (const FontKind kind : {FontKind::Regular, FontKind::Bold, FontKind::Hint}) {
        std::string selectors;
        for (const ControlRow& row : core::layoutTable()) {
            if (row.font != kind) continue;
            const std::string id = "window." + dpiClass + " #" + row.name;
            selectors += (selectors.empty() ? "" : ", ") + id + ", " + id + " *";
        }
        if (selectors.empty()) continue;
        css += selectors + " { font-family: " + FontFamilies +
               "; font-size: " + std::to_string(core::fontPixels(kind, dpi)) +
               "px; font-style: normal; font-weight: " + (kind == FontKind::Bold ? "bold" : "normal") +
               "; }\n";
    }
    return css;
}

// Providers for the whole screen, made once: the classic look, and the fonts for each resolution
// a window was made for; returns the style class that the window's fonts go with.
std::string addScreenStyles(int dpi) {
    static std::map<std::string, GtkCssProvider*> made;
    const std::string dpiClass = "discmenu-dpi" + std::to_string(dpi);
    if (made.contains(dpiClass)) return dpiClass;
    GdkScreen* screen = gdk_screen_get_default();
    if (made.empty()) {
        // Text laid out with the glyphs' own advances, not each rounded to whole pixels, so that
        // captions take the width they take in the other front ends; full hinting where the
        // desktop chose no hinting style, as those do.
        const cairo_font_options_t* desktop = gdk_screen_get_font_options(screen);
        cairo_font_options_t* options =
            desktop ? cairo_font_options_copy(desktop) : cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        gchar* hintStyle = nullptr;
        g_object_get(gtk_settings_get_default(), "gtk-xft-hintstyle", &hintStyle, nullptr);
        if (!hintStyle || !*hintStyle) cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
        g_free(hintStyle);
        gdk_screen_set_font_options(screen, options);
        cairo_font_options_destroy(options);

        GtkCssProvider* classic = gtk_css_provider_new();
        gtk_css_provider_load_from_data(classic, ClassicCss, -1, nullptr);
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(classic),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    GtkCssProvider* fonts = gtk_css_provider_new();
    gtk_css_provider_load_from_data(fonts, fontCss(dpi, dpiClass).c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(fonts),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    made[dpiClass] = fonts;
    return dpiClass;
}

// Text as GTK takes it: valid UTF-8, with anything else shown as a replacement character.
std::string validUtf8(const std::string& text) {
    if (g_utf8_validate(text.data(), gssize(text.size()), nullptr)) return text;
    gchar* valid = g_utf8_make_valid(text.data(), gssize(text.size()));
    std::string result = valid;
    g_free(valid);
    return result;
}

// A caption with "&" before its access key as GTK writes it: "_" before the key, "__" for an
// underscore, "&&" for an ampersand.
std::string mnemonic(const char* caption) {
    std::string out;
    for (const char* c = caption; *c; ++c) {
        if (*c == '_') {
            out += "__";
        } else if (*c == '&') {
            if (c[1] == '&') {
                out += '&';
                ++c;
            } else {
                out += '_';
            }
        } else {
            out += *c;
        }
    }
    return out;
}

GdkPixbuf* pixbufOf(const std::optional<core::Image>& image) {
    if (!image) return nullptr;
    GBytes* bytes = g_bytes_new(image->rgba.data(), image->rgba.size());
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, TRUE, 8, image->width,
                                                  image->height, image->width * 4);
    g_bytes_unref(bytes);
    return pixbuf;
}

GdkRGBA systemColour(int index, GtkWidget* widget) {
    return toRgba(core::Colour{true, index}, gtk_widget_get_style_context(widget));
}

// A command button's face and its raised edge (sunken while pressed), drawn before GTK draws the
// caption and the focus rectangle over them.
gboolean drawButton(GtkWidget* button, cairo_t* cr, gpointer) {
    const double w = gtk_widget_get_allocated_width(button), h = gtk_widget_get_allocated_height(button);
    const GdkRGBA face = systemColour(15, button), light = systemColour(20, button),
                  dark = systemColour(16, button), shadow = systemColour(21, button);
    gdk_cairo_set_source_rgba(cr, &face);
    cairo_paint(cr);
    const bool pressed = (gtk_widget_get_state_flags(button) & GTK_STATE_FLAG_ACTIVE) != 0;
    drawEdge(cr, w, h,
             pressed ? EdgeColours{shadow, light, dark, face} : EdgeColours{light, shadow, face, dark});
    return FALSE;
}

gboolean drawPicture(GtkWidget* area, cairo_t* cr, gpointer pixbuf) {
    if (!pixbuf) return FALSE;
    // The bitmap's pixels are 96-dpi pixels: at another resolution it grows with the layout.
    const int dpi = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(area), "discmenu-dpi"));
    if (dpi != 96) cairo_scale(cr, dpi / 96.0, dpi / 96.0);
    gdk_cairo_set_source_pixbuf(cr, static_cast<GdkPixbuf*>(pixbuf), 0, 0);
    cairo_paint(cr);
    return FALSE;
}

// The height of one line of a layout font at `dpi`: the font's ascent and descent, in whole pixels.
int lineHeight(GtkWidget* widget, FontKind kind, int dpi) {
    // The families as GTK passes the CSS list to Pango, so that the fonts Pango looks up here are
    // the ones it looks up again for the list's text.
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family_static(font, PangoFamilies);
    pango_font_description_set_absolute_size(font, core::fontPixels(kind, dpi) * PANGO_SCALE);
    pango_font_description_set_weight(font, kind == FontKind::Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    PangoFontMetrics* metrics =
        pango_context_get_metrics(gtk_widget_get_pango_context(widget), font, nullptr);
    const int height =
        PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    pango_font_description_free(font);
    return height;
}

// A text box the user reads, selects and copies from but does not type into, holding `text`,
// with `margin` pixels left and right of its lines.
GtkWidget* readOnlyTextView(const char* text, GtkWrapMode wrap, int margin) {
    GtkWidget* view = gtk_text_view_new();
    GtkTextView* textView = GTK_TEXT_VIEW(view);
    gtk_text_view_set_editable(textView, FALSE);
    gtk_text_view_set_accepts_tab(textView, FALSE);
    gtk_text_view_set_wrap_mode(textView, wrap);
    gtk_text_view_set_left_margin(textView, margin);
    gtk_text_view_set_right_margin(textView, margin);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(textView), text, -1);
    return view;
}

// `content` (a tree view or a text view) with a vertical scroll bar at its right that shows only
// while the content is longer than its room, and the mouse wheel over the content scrolling it.
// A GtkScrolledWindow would do the same, but builds two scroll bars, eight edge gadgets and four
// touch gestures that this window never uses: they cost about a third of what the window adds
// to GTK's start-up.
GtkWidget* scrolledBox(GtkWidget* content) {
    GtkAdjustment* adjustment = gtk_adjustment_new(0, 0, 0, 0, 0, 0);
    gtk_scrollable_set_vadjustment(GTK_SCROLLABLE(content), adjustment);
    GtkWidget* bar = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, adjustment);
    gtk_style_context_add_class(gtk_widget_get_style_context(bar), GTK_STYLE_CLASS_RIGHT);
    gtk_widget_set_no_show_all(bar, TRUE);
    g_signal_connect(adjustment, "changed", G_CALLBACK(+[](GtkAdjustment* adjustment, gpointer bar) {
                         const bool longer =
                             gtk_adjustment_get_upper(adjustment) - gtk_adjustment_get_lower(adjustment) >
                             gtk_adjustment_get_page_size(adjustment);
                         if (gtk_widget_get_visible(GTK_WIDGET(bar)) != longer)
                             gtk_widget_set_visible(GTK_WIDGET(bar), longer);
                     }),
                     bar);
    // A wheel step is the page's height to the power 2/3, as GtkScrolledWindow moves.
    gtk_widget_add_events(content, GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
    g_signal_connect(content, "scroll-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventScroll* event, gpointer data) -> gboolean {
                         GtkAdjustment* adjustment = GTK_ADJUSTMENT(data);
                         const double step = std::pow(gtk_adjustment_get_page_size(adjustment), 2.0 / 3.0);
                         double delta = 0;
                         if (event->direction == GDK_SCROLL_UP) {
                             delta = -1;
                         } else if (event->direction == GDK_SCROLL_DOWN) {
                             delta = 1;
                         } else if (event->direction == GDK_SCROLL_SMOOTH) {
                             delta = event->delta_y;
                         } else {
                             return FALSE;
                         }
                         gtk_adjustment_set_value(adjustment,
                                                  gtk_adjustment_get_value(adjustment) + delta * step);
                         return TRUE;
                     }),
                     adjustment);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(box), content, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(box), bar, FALSE, FALSE, 0);
    return box;
}

}  // namespace

int layoutDpi() {
    int xftDpi = -1;
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_get(settings, "gtk-xft-dpi", &xftDpi, nullptr);
    return xftDpi > 0 ? int(std::lround(xftDpi / 1024.0)) : 96;
}

MenuWindow::MenuWindow(int dpi) : dpi_(dpi > 0 ? dpi : 96) {
    const std::string dpiClass = addScreenStyles(dpi_);

    window_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    g_object_ref_sink(window_);
    gtk_widget_set_name(GTK_WIDGET(window_), "TheMenu");
    GtkStyleContext* style = gtk_widget_get_style_context(GTK_WIDGET(window_));
    gtk_style_context_add_class(style, "discmenu");
    gtk_style_context_add_class(style, dpiClass.c_str());
    gtk_window_set_title(window_, core::PlaceholderCaption);
    gtk_window_set_resizable(window_, FALSE);
    gtk_window_set_position(window_, GTK_WIN_POS_CENTER);
    if (GdkPixbuf* icon = pixbufOf(core::decodeIcon({discmenu_icon_ico, discmenu_icon_ico_size}))) {
        gtk_window_set_icon(window_, icon);
        g_object_unref(icon);
    }
    picture_ = pixbufOf(core::decodeBitmap({discmenu_picture_bmp, discmenu_picture_bmp_size}));

    // The access keys stay underlined, not only while Alt is held.
    gtk_window_set_mnemonics_visible(window_, TRUE);
    g_signal_connect(window_, "notify::mnemonics-visible", G_CALLBACK(+[](GtkWindow* window, GParamSpec*) {
                         if (!gtk_window_get_mnemonics_visible(window))
                             gtk_window_set_mnemonics_visible(window, TRUE);
                     }),
                     nullptr);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);

    const auto edge = [this](int index) { return systemColour(index, GTK_WIDGET(window_)); };
    placeSetSunkenColours({edge(16), edge(20), edge(21), edge(22)});
    build();
    gtk_window_set_focus(window_, inner(Control::Picture));
}

MenuWindow::~MenuWindow() {
    closed_ = true;
    gtk_widget_destroy(GTK_WIDGET(window_));
    g_object_unref(window_);
    for (Paint& paint : paint_) {
        if (paint.provider) g_object_unref(paint.provider);
    }
    if (items_) g_object_unref(items_);
    if (picture_) g_object_unref(picture_);
}

GtkWidget* MenuWindow::create(const ControlRow& row) {
    const core::PixelRect r = core::pixelRect(row, dpi_);
    const core::PixelRect inside{2, 2, std::max(r.width - 4, 0), std::max(r.height - 4, 0)};
    GtkWidget* outer = nullptr;
    GtkWidget* content = nullptr;
    switch (row.kind) {
        case Kind::Frame:
            outer = placeNew(r.width, r.height, PlaceLook::Background);
            break;
        case Kind::Label: {
            outer = gtk_label_new(row.caption);
            GtkLabel* label = GTK_LABEL(outer);
            gtk_label_set_xalign(label, 0);
            gtk_label_set_yalign(label, 0);
            gtk_label_set_line_wrap(label, core::wrapsText(row));
            gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD);
            break;
        }
        case Kind::TextBox: {
            // A one-line text view rather than a GtkEntry: the first GtkEntry of a process costs a
            // large part of a GTK window's start-up (docs/performance.md), for typing that this box
            // refuses.
            GtkWidget* view = readOnlyTextView(row.caption, GTK_WRAP_NONE, 2);
            // The line in the middle of the box.
            gtk_text_view_set_top_margin(GTK_TEXT_VIEW(view),
                                         std::max(0, (inside.height - lineHeight(view, row.font, dpi_)) / 2));
            content = view;
            break;
        }
        case Kind::MultiLineTextBox:
            content = readOnlyTextView(row.caption, GTK_WRAP_WORD_CHAR, 4);
            gtk_text_view_set_top_margin(GTK_TEXT_VIEW(content), 4);
            break;
        case Kind::ListBox: {
            items_ = gtk_list_store_new(1, G_TYPE_STRING);
            GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(items_));
            GtkTreeView* tree = GTK_TREE_VIEW(view);
            gtk_tree_view_set_headers_visible(tree, FALSE);
            gtk_tree_view_set_enable_search(tree, FALSE);
            gtk_tree_selection_set_mode(gtk_tree_view_get_selection(tree), GTK_SELECTION_SINGLE);
            GtkCellRenderer* cell = gtk_cell_renderer_text_new();
            gtk_cell_renderer_set_padding(cell, 2, 0);
            // One line of the list's font per item.
            gtk_cell_renderer_set_fixed_size(cell, -1, lineHeight(view, row.font, dpi_));
            gtk_tree_view_insert_column_with_attributes(tree, -1, "", cell, "text", 0, nullptr);
            content = view;
            break;
        }
        case Kind::Button: {
            outer = gtk_button_new_with_mnemonic(mnemonic(row.caption).c_str());
            // The caption wraps at word boundaries where the button is too narrow for one line.
            if (GtkWidget* caption = gtk_bin_get_child(GTK_BIN(outer)); GTK_IS_LABEL(caption)) {
                gtk_label_set_line_wrap(GTK_LABEL(caption), TRUE);
                gtk_label_set_justify(GTK_LABEL(caption), GTK_JUSTIFY_CENTER);
            }
            g_signal_connect(outer, "draw", G_CALLBACK(drawButton), nullptr);
            break;
        }
        case Kind::Picture: {
            content = gtk_drawing_area_new();
            gtk_widget_set_can_focus(content, TRUE);
            g_object_set_data(G_OBJECT(content), "discmenu-dpi", GINT_TO_POINTER(dpi_));
            g_signal_connect(content, "draw", G_CALLBACK(drawPicture), picture_);
            break;
        }
    }
    if (content) {
        // The list and the description box scroll (vertically only) when their content is longer.
        GtkWidget* held = content;
        if (row.kind == Kind::ListBox || row.kind == Kind::MultiLineTextBox) held = scrolledBox(content);
        outer = placeNew(r.width, r.height, PlaceLook::Sunken);
        placePut(outer, held, inside);
        gtk_widget_set_name(content, row.name);
    }
    gtk_widget_set_name(outer, row.name);
    outer_[int(row.control)] = outer;
    inner_[int(row.control)] = content ? content : outer;
    return outer;
}

void MenuWindow::build() {
    GtkWidget* client = placeNew(core::twipsToPixels(core::ClientWidth, dpi_),
                                 core::twipsToPixels(core::ClientHeight, dpi_), PlaceLook::Background);
    gtk_widget_set_name(client, "ClientArea");
    outer_[int(Control::Window)] = inner_[int(Control::Window)] = client;
    gtk_container_add(GTK_CONTAINER(window_), client);
    for (const ControlRow& row : core::layoutTable()) create(row);

    // Each container takes its controls back to front: the labels beneath everything, then the
    // others in the table's order, then those stacked in front (a control with a window of its
    // own is drawn over the ones added before it, and takes the clicks there).
    const auto depth = [](const ControlRow& row) {
        if (core::liesBeneath(row)) return -1;
        const auto front = std::find(std::begin(core::FrontOrder), std::end(core::FrontOrder), row.control);
        return front == std::end(core::FrontOrder) ? 0 : 1 + int(front - std::begin(core::FrontOrder));
    };
    std::vector<const ControlRow*> rows;
    for (const ControlRow& row : core::layoutTable()) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [&](auto* a, auto* b) { return depth(*a) < depth(*b); });
    for (const ControlRow* row : rows) {
        placePut(control(row->container), control(row->control), core::pixelRect(*row, dpi_),
                 row->kind == Kind::Label && !core::wrapsText(*row));
    }

    for (const ControlRow& row : core::layoutTable()) {
        if (row.background)
            setColour(row.control, core::ColourRole::Background, *core::decodeColour(*row.background));
    }
    for (const ControlRow& row : core::layoutTable()) {
        gtk_widget_set_sensitive(control(row.control), row.enabled);
        // Names a screen reader speaks where a control is named by another's text (the headings
        // for the boxes they head, the caption for the picture); the others by their own.
        if (core::accessibleNameFrom(row.control) != row.control)
            atk_object_set_name(gtk_widget_get_accessible(inner(row.control)),
                                core::accessibleName(row.control).c_str());
        AtkObject* accessible = gtk_widget_get_accessible(inner(row.control));
        if (*core::accessibleDescription(row.control))
            atk_object_set_description(accessible, core::accessibleDescription(row.control));
        // GTK's own roles are right but for the picture, a drawing area ("drawing area").
        if (core::accessibleRole(row.control) == core::AccessibleRole::Picture)
            atk_object_set_role(accessible, ATK_ROLE_IMAGE);
    }
    describe();
    gtk_widget_show_all(client);
}

void MenuWindow::connectTo(core::Menu& menu) {
    menu_ = &menu;
    GtkTreeView* list = GTK_TREE_VIEW(inner(Control::ProgramList));
    // The highlight changes by mouse and by keyboard; the logic's own highlight is not an event.
    g_signal_connect(gtk_tree_view_get_selection(list), "changed",
                     G_CALLBACK(+[](GtkTreeSelection*, gpointer self) {
                         auto* window = static_cast<MenuWindow*>(self);
                         if (!window->selecting_ && !window->closed_) window->menu_->highlightChanged();
                     }),
                     this);
    // A double click on an item highlights it first, as its first click would (the highlight may
    // have moved by keyboard between the two clicks), then installs it. The tree view's own
    // "row-activated" is not used: it also comes from Enter, which presses nothing here.
    g_signal_connect(list, "button-press-event",
                     G_CALLBACK(+[](GtkWidget* widget, GdkEventButton* event, gpointer self) -> gboolean {
                         auto* window = static_cast<MenuWindow*>(self);
                         GtkTreeView* tree = GTK_TREE_VIEW(widget);
                         if (event->type != GDK_2BUTTON_PRESS || event->button != 1 || window->closed_ ||
                             event->window != gtk_tree_view_get_bin_window(tree))
                             return FALSE;
                         GtkTreePath* path = nullptr;
                         if (!gtk_tree_view_get_path_at_pos(tree, int(event->x), int(event->y), &path,
                                                            nullptr, nullptr, nullptr))
                             return FALSE;
                         gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
                         gtk_tree_path_free(path);
                         window->menu_->doubleClicked();
                         return TRUE;
                     }),
                     this);
    for (Control button : {Control::BrowseButton, Control::ReadmeButton, Control::LicenseButton,
                           Control::ExitButton, Control::InstallButton}) {
        g_object_set_data(G_OBJECT(control(button)), "discmenu-control", GINT_TO_POINTER(int(button)));
        g_signal_connect(control(button), "clicked", G_CALLBACK(+[](GtkButton* widget, gpointer self) {
                             auto* window = static_cast<MenuWindow*>(self);
                             if (window->closed_) return;
                             window->menu_->clicked(Control(
                                 GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "discmenu-control"))));
                         }),
                         this);
    }
    // Closing the window from its frame ends the program as Exit does.
    g_signal_connect(window_, "delete-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                         auto* window = static_cast<MenuWindow*>(self);
                         if (!window->closed_) window->menu_->closeRequested();
                         return TRUE;
                     }),
                     this);
}

void MenuWindow::show() {
    gtk_window_set_focus(window_, inner(Control::Picture));
    gtk_widget_show(GTK_WIDGET(window_));
}

gboolean MenuWindow::onKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* window = static_cast<MenuWindow*>(self);
    const GdkModifierType mods =
        GdkModifierType(event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_META_MASK));
    switch (event->keyval) {
        case GDK_KEY_Tab:
        case GDK_KEY_KP_Tab:
        case GDK_KEY_ISO_Left_Tab:
            if (mods) return FALSE;
            window->moveFocus(event->keyval != GDK_KEY_ISO_Left_Tab && !(event->state & GDK_SHIFT_MASK));
            return TRUE;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter: {
            // No button is pressed by Enter, not even the one with the focus.
            GtkWidget* focus = gtk_window_get_focus(window->window_);
            return focus && GTK_IS_BUTTON(focus);
        }
        case GDK_KEY_Up:
        case GDK_KEY_Down:
        case GDK_KEY_Left:
        case GDK_KEY_Right:
        case GDK_KEY_KP_Up:
        case GDK_KEY_KP_Down:
        case GDK_KEY_KP_Left:
        case GDK_KEY_KP_Right: {
            // The arrow keys move within the list and the text boxes; on a button or the picture
            // they do nothing (GTK would move the focus to a neighbour, outside the keyboard order).
            GtkWidget* focus = gtk_window_get_focus(window->window_);
            return focus && (GTK_IS_BUTTON(focus) || focus == window->inner(Control::Picture));
        }
        default:
            return FALSE;
    }
}

void MenuWindow::moveFocus(bool forward) {
    GtkWidget* focus = gtk_window_get_focus(window_);
    std::optional<Control> from;
    for (Control c : core::keyboardOrder()) {
        if (focus && (focus == inner(c) || gtk_widget_is_ancestor(focus, inner(c)))) from = c;
    }
    const auto next = core::nextFocus(from, forward, [this](Control c) {
        GtkWidget* widget = inner(c);
        return gtk_widget_is_visible(widget) && gtk_widget_is_sensitive(widget) &&
               gtk_widget_get_can_focus(widget);
    });
    if (next) gtk_widget_grab_focus(inner(*next));
}

void MenuWindow::setCaption(const std::string& text) {
    const std::string caption = validUtf8(text);
    gtk_window_set_title(window_, caption.c_str());
    for (const ControlRow& row : core::layoutTable()) {
        if (core::accessibleNameFrom(row.control) == Control::Window)
            atk_object_set_name(gtk_widget_get_accessible(inner(row.control)), caption.c_str());
    }
}

void MenuWindow::setText(Control c, const std::string& text) {
    const std::string valid = validUtf8(text);
    GtkWidget* widget = inner(c);
    if (GTK_IS_LABEL(widget)) {
        gtk_label_set_text(GTK_LABEL(widget), valid.c_str());
        const auto lines = core::windowDescriptionLines();
        if (std::find(lines.begin(), lines.end(), c) != lines.end()) describe();
    } else if (GTK_IS_ENTRY(widget)) {
        gtk_entry_set_text(GTK_ENTRY(widget), valid.c_str());
    } else if (GTK_IS_TEXT_VIEW(widget)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
        gtk_text_buffer_set_text(buffer, valid.c_str(), -1);
        // The cursor at the start, where a screen reader begins to read (GTK leaves it at the end).
        GtkTextIter start;
        gtk_text_buffer_get_start_iter(buffer, &start);
        gtk_text_buffer_place_cursor(buffer, &start);
    }
}

void MenuWindow::describe() {
    const std::string description = core::windowDescription([this](Control c) { return text(c); });
    atk_object_set_description(gtk_widget_get_accessible(GTK_WIDGET(window_)), description.c_str());
}

std::string MenuWindow::text(Control c) const {
    GtkWidget* widget = inner(c);
    if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
    if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
    if (GTK_IS_TEXT_VIEW(widget)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* all = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
        std::string result = all;
        g_free(all);
        return result;
    }
    return {};
}

void MenuWindow::setVisible(Control c, bool visible) { gtk_widget_set_visible(control(c), visible); }

void MenuWindow::setEnabled(Control c, bool enabled) { gtk_widget_set_sensitive(control(c), enabled); }

void MenuWindow::setColour(Control c, core::ColourRole role, core::Colour colour) {
    Paint& paint = paint_[int(c)];
    (role == core::ColourRole::Background ? paint.background : paint.text) = colour;
    applyColours(c);
}

void MenuWindow::applyColours(Control c) {
    Paint& paint = paint_[int(c)];
    GtkWidget* widget = inner(c);
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    if (!paint.provider) {
        paint.provider = gtk_css_provider_new();
        // Over the window's own style, which is over the theme.
        gtk_style_context_add_provider(style, GTK_STYLE_PROVIDER(paint.provider),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    }
    // System colours are the theme's, as the window's own style context sees them.
    GtkStyleContext* theme = gtk_widget_get_style_context(GTK_WIDGET(window_));
    std::string declarations;
    if (paint.background)
        declarations += "background-color: " + cssColour(toRgba(*paint.background, theme)) + ";";
    if (paint.text) declarations += "color: " + cssColour(toRgba(*paint.text, theme)) + ";";
    // The selector of the node that paints: the list's rows but the highlighted one, the text
    // view's text area, the control itself otherwise.
    const Kind kind = c == Control::Window ? Kind::Frame : core::rowOf(c).kind;
    std::string css;
    switch (kind) {
        case Kind::ListBox:
            css = "treeview.view:not(:selected) {" + declarations + "}";
            break;
        case Kind::TextBox:
        case Kind::MultiLineTextBox:
            css = "textview, textview text {" + declarations + "}";
            break;
        case Kind::Label:
            css = "label {" + declarations + "}";
            break;
        default:
            css = "* {" + declarations + "}";
            break;
    }
    gtk_css_provider_load_from_data(paint.provider, css.c_str(), -1, nullptr);
}

void MenuWindow::addListItem(const std::string& text) {
    GtkTreeIter iter;
    gtk_list_store_append(items_, &iter);
    gtk_list_store_set(items_, &iter, 0, validUtf8(text).c_str(), -1);
}

void MenuWindow::selectListItem(int index) {
    GtkTreeView* list = GTK_TREE_VIEW(inner(Control::ProgramList));
    selecting_ = true;
    if (index >= 0 && index < gtk_tree_model_iter_n_children(GTK_TREE_MODEL(items_), nullptr)) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
        gtk_tree_view_set_cursor(list, path, nullptr, FALSE);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(list));
    }
    selecting_ = false;
}

int MenuWindow::selectedListItem() const {
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(inner(Control::ProgramList))), &model, &iter))
        return -1;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}

std::string MenuWindow::listItem(int index) const {
    GtkTreeIter iter;
    if (index < 0 || !gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(items_), &iter, nullptr, index)) return {};
    gchar* text = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(items_), &iter, 0, &text, -1);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

void MenuWindow::close() {
    closed_ = true;
    gtk_widget_hide(GTK_WIDGET(window_));
}

}  // namespace gtk
