// The GTK menu window on a real X server (a private Xvfb): every control where the layout table
// puts it at 96 dpi and at 120 dpi, the fonts GTK resolves, the keyboard (order, access keys,
// Enter and Escape), the names a screen reader reads, the rendered colours after start-up, and
// that no Qt library is in the process.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/menu.h"
#include "gtk/menuwindow.h"
#include "platform/fake/fakeplatform.h"
#include "tests/threeentries.h"

namespace {

using core::Control;
using core::ControlRow;
using core::Kind;

void pump() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void pumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        pump();
        g_usleep(5000);
    }
}

void showAndSettle(gtk::MenuWindow& window) {
    window.show();
    for (int i = 0; i < 200 && !gtk_widget_get_mapped(GTK_WIDGET(window.window())); ++i) pumpFor(10);
    pumpFor(50);
}

// A key press and its release sent to the window, as the keyboard would send them.
void press(gtk::MenuWindow& window, guint keyval, GdkModifierType state = GdkModifierType(0)) {
    GdkDisplay* display = gdk_display_get_default();
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    const bool found =
        gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window.window()))));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.state = state;
        if (found) {
            event->key.hardware_keycode = guint16(keys[0].keycode);
            event->key.group = guint8(keys[0].group);
        }
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gtk_widget_event(GTK_WIDGET(window.window()), event);
        gdk_event_free(event);
    }
    g_free(keys);
    // An access key presses its button at once and releases (clicks) it a quarter second later.
    pumpFor(state & GDK_MOD1_MASK ? 400 : 20);
}

std::string focusedName(gtk::MenuWindow& window) {
    GtkWidget* focus = gtk_window_get_focus(window.window());
    return focus ? gtk_widget_get_name(focus) : "(none)";
}

class GtkWindowTest : public ::testing::TestWithParam<int> {};

TEST_P(GtkWindowTest, EveryControlIsWhereTheLayoutTableSaysAtThisResolution) {
    const int dpi = GetParam();
    gtk::MenuWindow window(dpi);
    showAndSettle(window);
    GtkWidget* client = window.control(Control::Window);
    EXPECT_EQ(gtk_widget_get_allocated_width(client), core::twipsToPixels(core::ClientWidth, dpi));
    EXPECT_EQ(gtk_widget_get_allocated_height(client), core::twipsToPixels(core::ClientHeight, dpi));
    gint width = 0, height = 0;
    gtk_window_get_size(window.window(), &width, &height);
    EXPECT_EQ(width, core::twipsToPixels(core::ClientWidth, dpi));
    EXPECT_EQ(height, core::twipsToPixels(core::ClientHeight, dpi));
    EXPECT_FALSE(gtk_window_get_resizable(window.window()));

    for (const ControlRow& row : core::layoutTable()) {
        SCOPED_TRACE(row.name);
        GtkWidget* widget = window.control(row.control);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(gtk_widget_get_name(widget), row.name);
        EXPECT_EQ(gtk_widget_get_parent(widget), window.control(row.container));
        GtkAllocation got;
        gtk_widget_get_allocation(widget, &got);
        const core::PixelRect want = core::pixelRect(row, dpi);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.height, want.height);
        if (row.kind == Kind::Label && !core::wrapsText(row)) {
            // One-line labels may widen to show their text, within their container.
            EXPECT_GE(got.width, want.width);
            EXPECT_LE(got.x + got.width, gtk_widget_get_allocated_width(window.control(row.container)));
        } else {
            EXPECT_EQ(got.width, want.width);
        }
        // The content of a sunken box fills it inside its two-pixel border.
        if (window.inner(row.control) != widget) {
            GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
            ASSERT_EQ(g_list_length(children), 1u);
            GtkAllocation inside;
            gtk_widget_get_allocation(GTK_WIDGET(children->data), &inside);
            g_list_free(children);
            EXPECT_EQ(inside.x, 2);
            EXPECT_EQ(inside.y, 2);
            EXPECT_EQ(inside.width, want.width - 4);
            EXPECT_EQ(inside.height, want.height - 4);
        }
    }
}

TEST_P(GtkWindowTest, FontsAreArialAtTheirPixelSizes) {
    const int dpi = GetParam();
    gtk::MenuWindow window(dpi);
    showAndSettle(window);
    for (const ControlRow& row : core::layoutTable()) {
        if (row.font == core::FontKind::None) continue;
        SCOPED_TRACE(row.name);
        GtkWidget* widget = window.inner(row.control);
        if (GTK_IS_BUTTON(widget)) widget = gtk_bin_get_child(GTK_BIN(widget));  // the caption's label
        GtkStyleContext* style = gtk_widget_get_style_context(widget);
        PangoFontDescription* font = nullptr;
        gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
        ASSERT_NE(font, nullptr);
        // GTK gives sizes in points at the screen's font resolution: so many pixels on the screen.
        double pixels = double(pango_font_description_get_size(font)) / PANGO_SCALE;
        if (!pango_font_description_get_size_is_absolute(font))
            pixels *= pango_cairo_context_get_resolution(gtk_widget_get_pango_context(widget)) / 72.0;
        EXPECT_NEAR(pixels, core::fontPixels(row.font, dpi), 0.01);
        EXPECT_EQ(pango_font_description_get_weight(font),
                  row.font == core::FontKind::Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        EXPECT_EQ(pango_font_description_get_style(font), PANGO_STYLE_NORMAL);
        // The face fontconfig gives for it: Arial, or its metric twin Liberation Sans.
        PangoFont* loaded = pango_context_load_font(gtk_widget_get_pango_context(widget), font);
        ASSERT_NE(loaded, nullptr);
        PangoFontDescription* face = pango_font_describe(loaded);
        const std::string family = pango_font_description_get_family(face);
        EXPECT_TRUE(family == "Liberation Sans" || family == "Arial") << family;
        pango_font_description_free(face);
        g_object_unref(loaded);
        pango_font_description_free(font);
    }
}

// The count line's longest text wraps into lines that all end left of the install panel, which is
// stacked in front of the line's right part: no letter is hidden under it.
TEST_P(GtkWindowTest, TheCountLineEndsBeforeThePanelInFrontOfIt) {
    const int dpi = GetParam();
    gtk::MenuWindow window(dpi);
    window.setText(Control::CountLine, "5 Great Programs ready for installation!");
    showAndSettle(window);
    GtkWidget* line = window.control(Control::CountLine);
    int x = 0, y = 0;
    ASSERT_TRUE(gtk_widget_translate_coordinates(line, window.control(Control::Window), 0, 0, &x, &y));
    PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(line));
    int offsetX = 0, offsetY = 0;
    gtk_label_get_layout_offsets(GTK_LABEL(line), &offsetX, &offsetY);
    GtkAllocation label;
    gtk_widget_get_allocation(line, &label);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    // At 96 dpi the design itself leaves the last glyph's anti-aliased edge, one pixel, under it.
    const int panel = core::pixelRect(core::rowOf(Control::InstallPanel), dpi).x + 1;
    EXPECT_LE(x + (offsetX - label.x) + ink.x + ink.width, panel)
        << "at " << dpi << " dpi the count line runs " << x + (offsetX - label.x) + ink.x + ink.width - panel
        << " pixel(s) under the install panel";
    EXPECT_GT(pango_layout_get_line_count(layout), 1);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, GtkWindowTest, ::testing::Values(96, 120));

// On a desktop at 120 dpi, with and without GDK_DPI_SCALE: the layout and its fonts follow the
// desktop's resolution, and GTK's own text scale leaves the fonts at their layout size.
TEST(GtkDesktopResolution, FontsFollowTheLayoutNotGtksTextScale) {
    GtkSettings* settings = gtk_settings_get_default();
    for (const char* scale : {"", "1.5"}) {
        SCOPED_TRACE(std::string("GDK_DPI_SCALE=") + scale);
        if (*scale) g_setenv("GDK_DPI_SCALE", scale, TRUE);
        g_object_set(settings, "gtk-xft-dpi", 120 * 1024, nullptr);
        gtk::MenuWindow window;
        EXPECT_EQ(window.dpi(), 120);
        showAndSettle(window);
        for (Control c : {Control::ListHeading, Control::DoubleClickHint, Control::ProgramList}) {
            GtkWidget* widget = window.inner(c);
            GtkStyleContext* style = gtk_widget_get_style_context(widget);
            PangoFontDescription* font = nullptr;
            gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
            // What Pango draws: points at the widget's resolution.
            PangoLayout* layout = gtk_widget_create_pango_layout(widget, "Hx");
            pango_layout_set_font_description(layout, font);
            const double pixels = double(pango_font_description_get_size(font)) / PANGO_SCALE *
                                  pango_cairo_context_get_resolution(pango_layout_get_context(layout)) / 72.0;
            EXPECT_NEAR(pixels, core::fontPixels(core::rowOf(c).font, 120), 0.01) << core::rowOf(c).name;
            g_object_unref(layout);
            pango_font_description_free(font);
        }
        g_unsetenv("GDK_DPI_SCALE");
        g_object_set(settings, "gtk-xft-dpi", -1, nullptr);
    }
}

TEST(GtkLayoutDpi, IsTheDesktopsFontResolutionOr96) {
    GtkSettings* settings = gtk_settings_get_default();
    const std::pair<int, int> cases[] = {{120 * 1024, 120}, {144 * 1024, 144}, {96 * 1024, 96}, {-1, 96}};
    for (const auto& [xftDpi, dpi] : cases) {
        g_object_set(settings, "gtk-xft-dpi", xftDpi, nullptr);
        EXPECT_EQ(gtk::layoutDpi(), dpi) << xftDpi;
    }
}

TEST(GtkProcess, HasNoQtLibraryLoaded) {
    gtk::MenuWindow window(96);
    showAndSettle(window);
    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps);
    std::string line;
    int gtkLines = 0;
    while (std::getline(maps, line)) {
        EXPECT_EQ(line.find("libQt"), std::string::npos) << line;
        gtkLines += line.find("libgtk-3") != std::string::npos;
    }
    EXPECT_GT(gtkLines, 0) << "the maps were not read";
}

class GtkMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        logic.present(threeEntries());
        window.connectTo(logic);
        fake.calls.clear();
        showAndSettle(window);
    }

    std::vector<std::string> walk(bool forward, int steps) {
        std::vector<std::string> seen;
        for (int i = 0; i < steps; ++i) {
            press(window, forward ? GDK_KEY_Tab : GDK_KEY_ISO_Left_Tab,
                  forward ? GdkModifierType(0) : GDK_SHIFT_MASK);
            seen.push_back(focusedName(window));
        }
        return seen;
    }

    platform::FakePlatform fake;
    gtk::MenuWindow window{96};
    core::Menu logic{window, fake};
};

TEST_F(GtkMenuTest, FocusStartsOnThePictureAndTabFollowsTheLayoutOrder) {
    EXPECT_EQ(focusedName(window), "Picture1");
    window.setEnabled(Control::ReadmeButton, false);
    window.setEnabled(Control::LicenseButton, false);
    EXPECT_EQ(walk(true, 7), (std::vector<std::string>{"Command5", "Command1", "Command4", "List1", "Text1",
                                                       "Text2", "Picture1"}))
        << "Command2 and Command3 are disabled";
    window.setEnabled(Control::ReadmeButton, true);
    window.setEnabled(Control::LicenseButton, true);
    EXPECT_EQ(walk(true, 9), (std::vector<std::string>{"Command5", "Command1", "Command2", "Command3",
                                                       "Command4", "List1", "Text1", "Text2", "Picture1"}));
    EXPECT_EQ(walk(false, 9), (std::vector<std::string>{"Text2", "Text1", "List1", "Command4", "Command3",
                                                        "Command2", "Command1", "Command5", "Picture1"}));
    window.setVisible(Control::SizeBox, false);
    EXPECT_EQ(walk(true, 8), (std::vector<std::string>{"Command5", "Command1", "Command2", "Command3",
                                                       "Command4", "List1", "Text2", "Picture1"}));
}

TEST_F(GtkMenuTest, AltWithTheUnderlinedLetterPressesAnEnabledButtonOnly) {
    window.setEnabled(Control::ReadmeButton, false);
    window.setEnabled(Control::LicenseButton, false);
    struct Case {
        guint key;
        bool enableDocuments;
        const char* call;  // the platform call the button makes; nullptr: none
    };
    const Case cases[] = {
        {GDK_KEY_r, false, nullptr},
        {GDK_KEY_l, false, nullptr},
        {GDK_KEY_x, false, nullptr},
        {GDK_KEY_b, false, "showOpen "},
        {GDK_KEY_i, false, "shell setup.sh in /media/cdrom/program1"},
        {GDK_KEY_r, true, "winExec C:\\Windows\\Notepad.exe readme.txt (1)"},
        {GDK_KEY_l, true, "winExec C:\\Windows\\Notepad.exe license.txt (1)"},
        {GDK_KEY_e, true, "endProgram 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(gdk_keyval_name(c.key));
        window.setEnabled(Control::ReadmeButton, c.enableDocuments);
        window.setEnabled(Control::LicenseButton, c.enableDocuments);
        fake.calls.clear();
        press(window, c.key, GDK_MOD1_MASK);
        if (c.call) {
            EXPECT_EQ(fake.callsTo(c.call).size(), 1u);
        } else {
            EXPECT_TRUE(fake.calls.empty()) << fake.calls.front();
        }
    }
    // Without Alt the letters are plain keys.
    fake.calls.clear();
    press(window, GDK_KEY_b);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(GtkMenuTest, EnterAndEscapePressNothingWhereverTheFocusIs) {
    for (Control c : {Control::Picture, Control::InstallButton, Control::BrowseButton, Control::ExitButton,
                      Control::ProgramList, Control::SizeBox, Control::DescriptionBox}) {
        SCOPED_TRACE(core::rowOf(c).name);
        gtk_widget_grab_focus(window.inner(c));
        for (guint key : {GDK_KEY_Return, GDK_KEY_KP_Enter, GDK_KEY_Escape}) press(window, key);
        EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window.window())));
    }
    EXPECT_TRUE(fake.calls.empty()) << fake.calls.front();
}

TEST_F(GtkMenuTest, ArrowKeysMoveNoFocusFromAButtonOrThePicture) {
    for (Control c : {Control::Picture, Control::InstallButton, Control::BrowseButton, Control::ExitButton}) {
        gtk_widget_grab_focus(window.inner(c));
        for (guint key : {GDK_KEY_Up, GDK_KEY_Down, GDK_KEY_Left, GDK_KEY_Right}) {
            press(window, key);
            EXPECT_EQ(focusedName(window), core::rowOf(c).name) << gdk_keyval_name(key);
        }
    }
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(GtkMenuTest, ArrowKeysRefreshTheDetails) {
    gtk_widget_grab_focus(window.inner(Control::ProgramList));
    const std::pair<guint, int> presses[] = {{GDK_KEY_Down, 2}, {GDK_KEY_Down, 3}, {GDK_KEY_Up, 2}};
    for (const auto& [key, n] : presses) {
        press(window, key);
        EXPECT_EQ(window.selectedListItem(), n - 1);
        EXPECT_EQ(window.text(Control::SizeBox), std::to_string(n * 100));
        EXPECT_EQ(window.text(Control::DescriptionBox), "Description of program " + std::to_string(n) + ".");
    }
    EXPECT_TRUE(fake.calls.empty());
}

// The list and the description box: a scroll bar beside the content only while it is longer than
// its room, the content narrower by the bar's width then, and the wheel over the content scrolling.
TEST_F(GtkMenuTest, ScrollBarShowsForLongContentAndTheWheelScrolls) {
    const auto fill = [this](Control c, int lines) {
        std::string text;
        for (int i = 0; i < lines; ++i) {
            if (c == Control::ProgramList) window.addListItem("Program " + std::to_string(i));
            text += "Line " + std::to_string(i) + "\n";
        }
        if (c == Control::DescriptionBox) window.setText(c, text);
        pumpFor(100);
    };
    for (Control c : {Control::ProgramList, Control::DescriptionBox}) {
        SCOPED_TRACE(core::rowOf(c).name);
        GtkWidget* content = window.inner(c);
        GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(content)));
        ASSERT_EQ(g_list_length(children), 2u);
        GtkWidget* bar = GTK_WIDGET(g_list_nth_data(children, 1));
        g_list_free(children);
        ASSERT_TRUE(GTK_IS_SCROLLBAR(bar));
        const int fullWidth = gtk_widget_get_allocated_width(content);
        EXPECT_FALSE(gtk_widget_get_visible(bar)) << "three items and one line fit";

        fill(c, 40);
        ASSERT_TRUE(gtk_widget_get_visible(bar));
        EXPECT_EQ(gtk_widget_get_allocated_width(content) + gtk_widget_get_allocated_width(bar), fullWidth);
        GtkAdjustment* adjustment = gtk_range_get_adjustment(GTK_RANGE(bar));
        EXPECT_EQ(gtk_adjustment_get_value(adjustment), 0);
        GdkEvent* wheel = gdk_event_new(GDK_SCROLL);
        wheel->scroll.direction = GDK_SCROLL_DOWN;
        g_signal_emit_by_name(content, "scroll-event", wheel, nullptr);
        gdk_event_free(wheel);
        EXPECT_GT(gtk_adjustment_get_value(adjustment), 0);

        if (c == Control::DescriptionBox) {
            window.setText(c, "Short.");
            pumpFor(100);
            EXPECT_FALSE(gtk_widget_get_visible(bar));
            EXPECT_EQ(gtk_widget_get_allocated_width(content), fullWidth);
        }
    }
}

TEST_F(GtkMenuTest, ScreenReadersReadTheHeadingsAndTheCaption) {
    const auto name = [this](Control c) {
        const char* text = atk_object_get_name(gtk_widget_get_accessible(window.inner(c)));
        return std::string(text ? text : "");
    };
    EXPECT_EQ(name(Control::ProgramList), "Programs on this CD");
    EXPECT_EQ(name(Control::SizeBox), "Size in Kb (installed)");
    EXPECT_EQ(name(Control::DescriptionBox), "Program description");
    EXPECT_EQ(name(Control::Picture), "Sample ()");
    EXPECT_EQ(name(Control::InstallButton), "Install highlighted program");
    window.setCaption("Éditions Été (Übersicht)");
    EXPECT_EQ(name(Control::Picture), "Éditions Été (Übersicht)");
    EXPECT_STREQ(gtk_window_get_title(window.window()), "Éditions Été (Übersicht)");
}

// The window drawn after start-up, read at points away from any text.
TEST(GtkRender, ColoursOfTheWindowPanelsBoxesAndPicture) {
    constexpr std::uint32_t window = 0x336699, labelBack = 0xFFEEDD, labelText = 0x102030,
                            listBack = 0xCCFFCC, listText = 0x400000, sizeBack = 0xFFCCEE,
                            sizeText = 0x004000, descBack = 0xEEEEFF, descText = 0x000040, blue = 0x0000FF,
                            grey = 0xC0C0C0, yellow = 0xFFFF00;
    const auto value = [](std::uint32_t rgb) {
        return std::int32_t(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
    };
    platform::FakePlatform fake;
    gtk::MenuWindow menu(96);
    core::Menu logic(menu, fake);
    catalogue::Module1 m = threeEntries();
    m.ColourTable = {value(window),   value(labelBack), value(labelText), value(listBack), value(listText),
                     value(sizeBack), value(sizeText),  value(descBack),  value(descText)};
    logic.present(std::move(m));
    showAndSettle(menu);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 377, 345);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(menu.control(Control::Window), cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const auto pixel = [surface](int x, int y) {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        return *reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface) +
                                                       x * 4) &
               0xFFFFFF;
    };
    // Window coordinates of a point inside a control: its container's place plus its own.
    const auto at = [](Control c, int dx, int dy) {
        const ControlRow& row = core::rowOf(c);
        core::PixelRect r = core::pixelRect(row);
        if (row.container != Control::Window) {
            const core::PixelRect outer = core::pixelRect(core::rowOf(row.container));
            r.x += outer.x, r.y += outer.y;
        }
        return std::pair(r.x + (dx < 0 ? r.width + dx : dx), r.y + (dy < 0 ? r.height + dy : dy));
    };
    struct Case {
        const char* where;
        std::pair<int, int> point;
        std::uint32_t colour;
    };
    const Case cases[] = {
        {"window, top left corner", {3, 3}, window},
        {"window, left of the picture", {4, 40}, window},
        {"Frame1 above the install button", at(Control::InstallPanel, 20, 3), blue},
        {"Frame2 below the exit button", at(Control::ExitButton, 20, -1 + 4 + 27), blue},
        {"Frame3 below the list", at(Control::ListPanel, 30, -3), grey},
        {"Frame5 at the bottom edge", {200, 344}, grey},
        {"Label7, yellow", at(Control::DoubleClickHint, -3, 1), yellow},
        {"count line, below its text", at(Control::CountLine, 45, 52), labelBack},
        {"picture's outer edge, shaded", at(Control::Picture, 20, 0), 0},
        {"picture, top left bitmap pixel", at(Control::Picture, 2, 2), blue},
        {"picture, bottom right bitmap pixel", at(Control::Picture, -3, -3), blue},
        {"list, lower part", at(Control::ProgramList, -40, -10), listBack},
        {"size box, right end", at(Control::SizeBox, -4, -4), sizeBack},
        {"description box, lower part", at(Control::DescriptionBox, -40, -10), descBack},
    };
    for (const Case& c : cases) {
        if (c.colour == 0) continue;
        EXPECT_EQ(pixel(c.point.first, c.point.second), c.colour)
            << c.where << " at " << c.point.first << "," << c.point.second << ": " << std::hex
            << pixel(c.point.first, c.point.second);
    }
    // The sunken edge: the outer ring darker than the inner face on the top and left, lighter on
    // the bottom and right.
    const auto brightness = [](std::uint32_t rgb) {
        return ((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF);
    };
    for (Control c : {Control::ProgramList, Control::DescriptionBox, Control::Picture}) {
        SCOPED_TRACE(core::rowOf(c).name);
        const auto [left, top] = at(c, 0, 0);
        const auto [right, bottom] = at(c, -1, -1);
        EXPECT_LT(brightness(pixel(left + 30, top)), brightness(pixel(left + 30, bottom)));
        EXPECT_LT(brightness(pixel(left, top + 30)), brightness(pixel(right, top + 30)));
    }
    if (::testing::Test::HasFailure()) {
        cairo_surface_write_to_png(surface, "/tmp/discmenu-gtk-render-test.png");
        ADD_FAILURE() << "the rendered window is in /tmp/discmenu-gtk-render-test.png";
    }
    cairo_surface_destroy(surface);
}

}  // namespace
