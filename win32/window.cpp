#include "win32/window.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>

#include "core/layout.h"
#include "core/menu.h"
#include "win32/accessible.h"
#include "win32/resource.h"
#include "win32/text.h"

namespace win32 {
namespace {

using core::Control;
using core::Kind;

constexpr wchar_t MainClass[] = L"DiscMenuWindow";
constexpr wchar_t PanelClass[] = L"DiscMenuPanel";
constexpr wchar_t PictureClass[] = L"DiscMenuPicture";

// A fixed-size window: caption, system menu, minimise; no maximise box, no sizing border.
constexpr DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Child control identifiers: the control's role plus this.
constexpr int FirstId = 100;

// The picture's size in pixels at 96 dpi.
constexpr int PictureWidth = 158, PictureHeight = 60;

// What a control is before the catalogue paints it: text boxes and the list as the desktop's
// window colours, labels as its button face (a read-only edit control would otherwise be grey).
core::Colour systemColour(int index) { return core::Colour{true, index}; }

COLORREF resolve(const core::Colour& colour) {
    return colour.system ? GetSysColor(colour.systemIndex) : RGB(colour.red, colour.green, colour.blue);
}

bool isLabel(const core::ControlRow& row) { return row.kind == Kind::Label; }

}  // namespace

// --- colours ---------------------------------------------------------------------------------

void MenuWindow::Paint::set(core::Colour value, bool withBrush) {
    colour = value;
    refresh(withBrush);
}

void MenuWindow::Paint::refresh(bool withBrush) {
    rgb = resolve(colour);
    release();
    if (withBrush) brush = CreateSolidBrush(rgb);
}

void MenuWindow::Paint::release() {
    if (brush) DeleteObject(brush);
    brush = nullptr;
}

// --- creation --------------------------------------------------------------------------------

MenuWindow::MenuWindow(HINSTANCE instance, int dpi) : instance_(instance), dpi_(dpi > 0 ? dpi : 96) {
    registerClasses();
    for (core::FontKind kind : {core::FontKind::Regular, core::FontKind::Bold, core::FontKind::Hint}) {
        fonts_[std::size_t(kind)] = CreateFontW(
            -core::fontPixels(kind, dpi_), 0, 0, 0, kind == core::FontKind::Bold ? FW_BOLD : FW_NORMAL, FALSE,
            FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
            VARIABLE_PITCH | FF_SWISS, L"Arial");
    }
    picture_ = static_cast<HBITMAP>(
        LoadImageW(instance_, MAKEINTRESOURCEW(DISCMENU_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));

    Item& window = item(Control::Window);
    window.coloured = true;
    window.background.set(systemColour(COLOR_BTNFACE), true);

    RECT frame{0, 0, core::twipsToPixels(core::ClientWidth, dpi_),
               core::twipsToPixels(core::ClientHeight, dpi_)};
    AdjustWindowRectEx(&frame, MainStyle, FALSE, 0);
    hwnd_ = CreateWindowExW(0, MainClass, widen(core::PlaceholderCaption).c_str(), MainStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                            nullptr, instance_, this);
    window.hwnd = hwnd_;
    if (hwnd_) createControls();
}

MenuWindow::~MenuWindow() {
    closed_ = true;
    if (hwnd_) DestroyWindow(hwnd_);
    for (Item& entry : items_) {
        entry.background.release();
        entry.foreground.release();
    }
    for (HFONT font : fonts_) {
        if (font) DeleteObject(font);
    }
    if (picture_) DeleteObject(picture_);
    if (measuring_) DeleteDC(measuring_);
}

void MenuWindow::registerClasses() {
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = mainProc;
    main.hInstance = instance_;
    main.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(DISCMENU_ICON));
    main.hIconSm =
        static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(DISCMENU_ICON), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    main.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    main.lpszClassName = MainClass;
    RegisterClassExW(&main);

    WNDCLASSEXW panel = main;
    panel.lpfnWndProc = panelProc;
    panel.hIcon = panel.hIconSm = nullptr;
    panel.lpszClassName = PanelClass;
    RegisterClassExW(&panel);

    WNDCLASSEXW picture = panel;
    picture.lpfnWndProc = pictureProc;
    picture.lpszClassName = PictureClass;
    RegisterClassExW(&picture);
}

// The controls are made in the core's stacking order: each new child window goes beneath its
// siblings, so they end up stacked as a screen reader must find them without being moved again
// (under Wine every move is a round trip to its server).
void MenuWindow::createControls() {
    for (Control control : core::stackingOrder()) {
        const core::ControlRow& row = core::rowOf(control);
        Item& entry = item(row.control);
        entry.row = &row;
        entry.text = row.caption;
        const std::wstring caption = widen(row.caption);
        const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        const wchar_t* cls = L"STATIC";
        DWORD style = child, exStyle = 0;
        std::wstring initial;
        switch (row.kind) {
            case Kind::Frame:
                cls = PanelClass;
                style |= WS_CLIPCHILDREN;
                break;
            case Kind::Label:
                // "&" shows as itself; one-line labels do not wrap.
                style |= SS_NOPREFIX | (core::wrapsText(row) ? SS_LEFT : SS_LEFTNOWORDWRAP);
                initial = caption;
                break;
            case Kind::TextBox:
                cls = L"EDIT";
                style |= WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                initial = caption;
                break;
            case Kind::MultiLineTextBox:
                cls = L"EDIT";
                style |= WS_TABSTOP | ES_READONLY | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                initial = caption;
                break;
            case Kind::ListBox:
                cls = L"LISTBOX";
                style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case Kind::Button:
                cls = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
                initial = caption;
                entry.accessKey = accessKey(caption);
                break;
            case Kind::Picture:
                cls = PictureClass;
                style |= WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
        }

        if (!row.enabled) style |= WS_DISABLED;
        entry.coloured = row.kind != Kind::Button && row.kind != Kind::Picture;
        if (entry.coloured) {
            const bool window =
                row.kind == Kind::TextBox || row.kind == Kind::MultiLineTextBox || row.kind == Kind::ListBox;
            entry.background.set(systemColour(window ? COLOR_WINDOW : COLOR_BTNFACE), true);
            entry.foreground.set(systemColour(window ? COLOR_WINDOWTEXT : COLOR_BTNTEXT), false);
            if (row.background) {
                if (const auto colour = core::decodeColour(*row.background))
                    entry.background.set(*colour, true);
            }
        }

        core::PixelRect r = core::pixelRect(row, dpi_);
        entry.rect = RECT{r.x, r.y, r.x + r.width, r.y + r.height};
        HWND parent = item(row.container).hwnd;
        // A one-line label is made as wide as its text at once.
        if (isLabel(row)) {
            fitLabel(entry);
            r.width = entry.rect.right - entry.rect.left;
        }
        if (row.kind == Kind::MultiLineTextBox) initial = widen(withCrLf(row.caption));
        if (row.kind == Kind::Picture) initial = widen(core::accessibleName(row.control));
        const Control namedBy = core::accessibleNameFrom(row.control);
        if (namedBy != row.control && namedBy != Control::Window) {
            entry.namer =
                CreateWindowExW(0, L"STATIC", widen(core::accessibleName(row.control)).c_str(),
                                WS_CHILD | SS_NOPREFIX, r.x, r.y, 0, 0, parent, nullptr, instance_, nullptr);
        }
        entry.hwnd =
            CreateWindowExW(exStyle, cls, initial.c_str(), style, r.x, r.y, r.width, r.height, parent,
                            reinterpret_cast<HMENU>(INT_PTR(FirstId + int(row.control))), instance_, nullptr);
        if (!entry.hwnd) continue;
        // The window procedures of the panels and the picture find the window through it.
        if (row.kind == Kind::Frame || row.kind == Kind::Picture)
            SetWindowLongPtrW(entry.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (row.font != core::FontKind::None) {
            SendMessageW(entry.hwnd, WM_SETFONT, WPARAM(fonts_[std::size_t(row.font)]), FALSE);
        }
    }

    cutOverlaps();
    lastFocus_ = item(Control::Picture).hwnd;
}

// A screen reader reads a window's controls in z-order, and names an unnamed edit or list box from
// the static just before it: the controls are stacked in keyboard order (createControls()), each
// box right after a hidden static with its name (hidden, so no pixel changes; Windows' own rule,
// so every screen reader and Windows version follows it, where the accessibility annotations need
// COM and oleacc in the menu and are not honoured everywhere), and the labels beneath everything.
// Where overlapping controls stack the other way round in FrontOrder (the description panel in
// front of the list and size panels, whose last pixel row it covers), the part they share is cut
// out of the one above, so that the one in front shows there as before.
void MenuWindow::cutOverlaps() {
    for (std::size_t front = 0; front < std::size(core::FrontOrder); ++front) {
        const Item& above = item(core::FrontOrder[front]);
        HRGN region = nullptr;
        for (std::size_t next = front + 1; next < std::size(core::FrontOrder); ++next) {
            const Item& over = item(core::FrontOrder[next]);
            RECT shared{};
            if (over.row->tabIndex < above.row->tabIndex || over.row->container != above.row->container ||
                !IntersectRect(&shared, &over.rect, &above.rect))
                continue;
            if (!region)
                region = CreateRectRgn(0, 0, above.rect.right - above.rect.left,
                                       above.rect.bottom - above.rect.top);
            OffsetRect(&shared, -above.rect.left, -above.rect.top);
            HRGN cut = CreateRectRgnIndirect(&shared);
            CombineRgn(region, region, cut, RGN_DIFF);
            DeleteObject(cut);
        }
        if (region) SetWindowRgn(above.hwnd, region, FALSE);  // the window owns the region now
    }
}

HDC MenuWindow::measuringDc() {
    if (!measuring_) measuring_ = CreateCompatibleDC(nullptr);
    return measuring_;
}

void MenuWindow::fitLabel(Item& entry) {
    if (core::wrapsText(*entry.row)) return;
    // Measured in a memory DC with the label's font: the same extent as in the label's own DC,
    // without asking the window system for one.
    SIZE extent{};
    if (HDC dc = measuringDc()) {
        HGDIOBJ old = SelectObject(dc, fonts_[std::size_t(entry.row->font)]);
        const std::wstring text = widen(entry.text);
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent);
        SelectObject(dc, old);
    }

    RECT parent{};
    GetClientRect(item(entry.row->container).hwnd, &parent);
    const LONG room = parent.right - entry.rect.left;
    const LONG wanted = std::min<LONG>(extent.cx, room);
    if (wanted > entry.rect.right - entry.rect.left) {
        entry.rect.right = entry.rect.left + wanted;
        if (entry.hwnd) {
            SetWindowPos(entry.hwnd, nullptr, 0, 0, wanted, entry.rect.bottom - entry.rect.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void MenuWindow::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(item(Control::Picture).hwnd);
}

// --- messages --------------------------------------------------------------------------------

MenuWindow::Item* MenuWindow::itemOf(HWND hwnd) {
    const int id = GetDlgCtrlID(hwnd) - FirstId;
    if (id <= int(Control::Window) || id >= core::ControlCount) return nullptr;
    Item& entry = items_[std::size_t(id)];
    return entry.hwnd == hwnd ? &entry : nullptr;
}

LRESULT CALLBACK MenuWindow::mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MenuWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<MenuWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->hwnd_ != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->onMessage(message, wParam, lParam);
}

LRESULT CALLBACK MenuWindow::panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MenuWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_ERASEBKGND:
            if (Item* entry = self ? self->itemOf(hwnd) : nullptr) {
                RECT r;
                GetClientRect(hwnd, &r);
                FillRect(reinterpret_cast<HDC>(wParam), &r, entry->background.brush);
                return 1;
            }
            break;
        // What the controls inside a panel tell their parent is for the window.
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (self && self->hwnd_) return SendMessageW(self->hwnd_, message, wParam, lParam);
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MenuWindow::pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MenuWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_PAINT:
            if (self) {
                self->paintPicture(hwnd);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);  // a click takes the focus, as a picture box does
            return 0;
        case WM_GETOBJECT:
            // A screen reader hears it as a picture, with what it shows.
            if (const LRESULT object =
                    describedObject(hwnd, wParam, lParam, core::accessibleRole(Control::Picture),
                                    widen(core::accessibleDescription(Control::Picture))))
                return object;
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void MenuWindow::paintPicture(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (picture_) {
        // Drawn at the picture's size at 96 dpi, scaled like the layout at any other.
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, picture_);
        const int width = MulDiv(PictureWidth, dpi_, 96), height = MulDiv(PictureHeight, dpi_, 96);
        if (width == PictureWidth && height == PictureHeight) {
            BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, 0, 0, width, height, source, 0, 0, PictureWidth, PictureHeight, SRCCOPY);
        }
        SelectObject(source, old);
        DeleteDC(source);
    }
    EndPaint(hwnd, &ps);
}

LRESULT MenuWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd_, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, item(Control::Window).background.brush);
            return 1;
        }
        case WM_COMMAND:
            if (Item* entry = itemOf(reinterpret_cast<HWND>(lParam))) onCommand(*entry, HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return onControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_SYSCOLORCHANGE:
            for (Item& entry : items_) {
                if (!entry.coloured) continue;
                entry.background.refresh(true);
                entry.foreground.refresh(false);
            }
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        case WM_ACTIVATE:
            // The focus goes back where it was when the window is activated again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
            } else if (lastFocus_ && IsWindow(lastFocus_)) {
                SetFocus(lastFocus_);
            }
            return 0;
        case WM_SETFOCUS:
            if (lastFocus_ && IsWindow(lastFocus_)) SetFocus(lastFocus_);
            return 0;
        case WM_CLOSE:
            // The close box and Alt+F4 end the program as the Exit button does.
            if (menu_ && !closed_) menu_->closeRequested();
            return 0;
        case WM_DESTROY:
            closed_ = true;
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MenuWindow::onCommand(Item& entry, int code) {
    if (!menu_ || closed_) return;
    if (entry.row->kind == Kind::Button && code == BN_CLICKED) {
        menu_->clicked(entry.row->control);
    } else if (entry.row->kind == Kind::ListBox && code == LBN_SELCHANGE) {
        menu_->highlightChanged();
    } else if (entry.row->kind == Kind::ListBox && code == LBN_DBLCLK) {
        // The item under the pointer is the one double-clicked: when the keyboard moved the
        // highlight between the two clicks, it moves back to that item first. A double click
        // below the last item is none.
        const DWORD at = GetMessagePos();
        POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
        ScreenToClient(entry.hwnd, &point);
        const LRESULT hit = SendMessageW(entry.hwnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
        if (HIWORD(hit) != 0) return;
        const int index = LOWORD(hit);
        if (index != selectedListItem()) SendMessageW(entry.hwnd, LB_SETCURSEL, WPARAM(index), 0);
        menu_->doubleClicked();
    }
}

LRESULT MenuWindow::onControlColour(HDC dc, HWND control) {
    Item* entry = itemOf(control);
    if (!entry || !entry->coloured)
        return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(control));
    SetTextColor(dc, entry->foreground.rgb);
    SetBkColor(dc, entry->background.rgb);
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(entry->background.brush);
}

// --- keyboard --------------------------------------------------------------------------------

bool MenuWindow::translateKey(const MSG& msg) {
    if (!hwnd_ || closed_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    switch (msg.message) {
        case WM_KEYDOWN:
            if (msg.wParam == VK_TAB) {
                moveFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
                return true;
            }
            return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
        case WM_SYSCHAR: {
            // Alt+letter, after the key went through TranslateMessage (so that the Alt key's own
            // release does not open the system menu).
            wchar_t key = wchar_t(msg.wParam);
            if (key >= L'a' && key <= L'z') key = wchar_t(key - L'a' + L'A');
            for (Item& entry : items_) {
                if (!entry.row || entry.accessKey != key || entry.accessKey == 0) continue;
                if (!IsWindowVisible(entry.hwnd) || !IsWindowEnabled(entry.hwnd)) continue;
                SetFocus(entry.hwnd);
                if (menu_) menu_->clicked(entry.row->control);
                return true;
            }
            return false;
        }
    }
    return false;
}

void MenuWindow::moveFocus(int step) {
    HWND focus = GetFocus();
    std::optional<Control> from;
    for (Control c : core::keyboardOrder()) {
        if (item(c).hwnd && (item(c).hwnd == focus || IsChild(item(c).hwnd, focus))) from = c;
    }
    // A control in a hidden panel is not visible either; disabled ones are skipped.
    const auto next = core::nextFocus(from, step > 0, [this](Control c) {
        return item(c).hwnd && IsWindowVisible(item(c).hwnd) && IsWindowEnabled(item(c).hwnd);
    });
    if (!next) return;
    SetFocus(item(*next).hwnd);
    const Kind kind = core::rowOf(*next).kind;
    if (kind == Kind::TextBox || kind == Kind::MultiLineTextBox) {
        SendMessageW(item(*next).hwnd, EM_SETSEL, 0, -1);  // as a dialog selects an edit's text
    }
}

// --- core::Window ----------------------------------------------------------------------------

// Before the window first shows, nothing is drawn yet and showing it paints everything: a control
// changed then needs no repainting of its own (and under Wine asking for one is a round trip to
// its server).
void MenuWindow::repaint(HWND control) {
    if (IsWindowVisible(hwnd_)) InvalidateRect(control, nullptr, TRUE);
}

void MenuWindow::setCaption(const std::string& text) {
    if (hwnd_) SetWindowTextW(hwnd_, widen(text).c_str());
    // The picture is named by the caption (its window text is never drawn).
    for (const Item& entry : items_) {
        if (entry.row && entry.hwnd && core::accessibleNameFrom(entry.row->control) == Control::Window)
            SetWindowTextW(entry.hwnd, widen(text).c_str());
    }
}

void MenuWindow::setText(Control control, const std::string& text) {
    Item& entry = item(control);
    if (!entry.hwnd || !entry.row) return;
    // Start-up may set a box to the text it already holds (the first program's details, once for
    // the highlight and once from the table): before the window shows, the box is then left as it
    // is, as setting it again would leave it, without laying the text out again. Once shown,
    // setting a text also scrolls the box back to its top.
    if (text == entry.text && !IsWindowVisible(hwnd_)) return;
    entry.text = text;
    const bool multiLine = entry.row->kind == Kind::MultiLineTextBox;
    SetWindowTextW(entry.hwnd, widen(multiLine ? withCrLf(text) : text).c_str());
    if (isLabel(*entry.row)) {
        fitLabel(entry);
        repaint(entry.hwnd);
    }
}

std::string MenuWindow::text(Control control) const { return item(control).text; }

void MenuWindow::setVisible(Control control, bool visible) {
    if (HWND hwnd = item(control).hwnd) ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

void MenuWindow::setEnabled(Control control, bool enabled) {
    if (HWND hwnd = item(control).hwnd) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void MenuWindow::setColour(Control control, core::ColourRole role, core::Colour colour) {
    Item& entry = item(control);
    if (!entry.hwnd || !entry.coloured) return;
    if (role == core::ColourRole::Background) {
        entry.background.set(colour, true);
    } else if (control != Control::Window) {
        entry.foreground.set(colour, false);
    }
    repaint(entry.hwnd);
}

void MenuWindow::addListItem(const std::string& text) {
    if (HWND list = item(Control::ProgramList).hwnd) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
    }
}

void MenuWindow::selectListItem(int index) {
    if (HWND list = item(Control::ProgramList).hwnd) SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
}

int MenuWindow::selectedListItem() const {
    HWND list = item(Control::ProgramList).hwnd;
    const LRESULT index = list ? SendMessageW(list, LB_GETCURSEL, 0, 0) : LB_ERR;
    return index == LB_ERR ? -1 : int(index);
}

std::string MenuWindow::listItem(int index) const {
    HWND list = item(Control::ProgramList).hwnd;
    if (!list) return {};
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, WPARAM(index), 0);
    if (length == LB_ERR) return {};
    std::wstring text(std::size_t(length) + 1, L'\0');
    const LRESULT got = SendMessageW(list, LB_GETTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : std::size_t(got));
    return narrow(text);
}

void MenuWindow::close() {
    closed_ = true;
    if (hwnd_) DestroyWindow(hwnd_);
}

}  // namespace win32
