// Reads the running menu window as a screen reader does, through MSAA (oleacc), and prints what it
// finds, one object a line, for tests/wine/run.py:
//   A <depth> <role>\t<name>\t<states>\t<keyboard shortcut>\t<description>
//                                          every accessible object, in object order
//   W <depth> <class>\t<text>\t<visible|hidden>               every child window, in z-order (top first)
// <states> lists "unavailable" and "focusable" where set.
// With "dialog", what it reads is the window that the menu window owns (a message box, a dialog),
// after a first line
//   D <class>\t<title>
// With "press NAME", it presses the object named NAME instead, through accDoDefaultAction, and
// prints how the call went and how long it took to return, and "posted" where the call is not
// implemented (Wine) and the click of the object's window was posted instead:
//   P <HRESULT in hex>\t<milliseconds>[\tposted]
// Usage: readwindow WINDOW-CLASS [dialog] [press NAME]
#include <oleacc.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t* text) {
    if (!text) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::string taken(BSTR text) {
    std::string out = utf8(text);
    SysFreeString(text);
    return out;
}

void print(IAccessible* object, VARIANT child, int depth) {
    BSTR name = nullptr, shortcut = nullptr, description = nullptr;
    VARIANT role{}, state{};
    object->get_accName(child, &name);
    object->get_accKeyboardShortcut(child, &shortcut);
    object->get_accDescription(child, &description);
    wchar_t roleText[128] = L"";
    if (SUCCEEDED(object->get_accRole(child, &role)) && role.vt == VT_I4)
        GetRoleTextW(DWORD(role.lVal), roleText, 128);
    std::string states;
    if (SUCCEEDED(object->get_accState(child, &state)) && state.vt == VT_I4) {
        if (state.lVal & STATE_SYSTEM_UNAVAILABLE) states += "unavailable ";
        if (state.lVal & STATE_SYSTEM_FOCUSABLE) states += "focusable ";
    }
    std::printf("A %d %s\t%s\t%s\t%s\t%s\n", depth, utf8(roleText).c_str(), taken(name).c_str(),
                states.c_str(), taken(shortcut).c_str(), taken(description).c_str());
}

// The object and its children, depth first: a child that is an object of its own is read whole,
// a simple element (a list's item) as part of its parent.
void walk(IAccessible* object, int depth) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    print(object, self, depth);
    long count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0) return;
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    long got = 0;
    if (FAILED(AccessibleChildren(object, 0, count, children.data(), &got))) return;
    for (long i = 0; i < got; ++i) {
        VARIANT& child = children[std::size_t(i)];
        // An element given by its number may still be an object of its own.
        if (child.vt == VT_I4) {
            IDispatch* dispatch = nullptr;
            if (object->get_accChild(child, &dispatch) == S_OK && dispatch) {
                child.vt = VT_DISPATCH;
                child.pdispVal = dispatch;
            }
        }
        if (child.vt == VT_DISPATCH && child.pdispVal) {
            IAccessible* inner = nullptr;
            if (SUCCEEDED(
                    child.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&inner)))) {
                // A child window's object: Wine's window objects answer nothing themselves, so
                // its client object is read, as Windows' window object hands it on.
                HWND hwnd = nullptr;
                IAccessible* client = nullptr;
                if (SUCCEEDED(WindowFromAccessibleObject(inner, &hwnd)) && hwnd &&
                    SUCCEEDED(AccessibleObjectFromWindow(hwnd, DWORD(OBJID_CLIENT), IID_IAccessible,
                                                         reinterpret_cast<void**>(&client)))) {
                    walk(client, depth + 1);
                    client->Release();
                } else {
                    walk(inner, depth + 1);
                }
                inner->Release();
            }
        } else if (child.vt == VT_I4) {
            print(object, child, depth + 1);
        }
        VariantClear(&child);
    }
}

// The client object of `object`'s child window or simple element named `name`, depth first, as
// walk() reads them; or null. The result is the caller's to release.
IAccessible* find(IAccessible* object, const std::string& name) {
    long count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0) return nullptr;
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    long got = 0;
    if (FAILED(AccessibleChildren(object, 0, count, children.data(), &got))) return nullptr;
    IAccessible* found = nullptr;
    for (long i = 0; i < got; ++i) {
        VARIANT& child = children[std::size_t(i)];
        IAccessible* inner = nullptr;
        if (!found && child.vt == VT_DISPATCH && child.pdispVal &&
            SUCCEEDED(child.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&inner)))) {
            HWND hwnd = nullptr;
            IAccessible* client = nullptr;
            if (SUCCEEDED(WindowFromAccessibleObject(inner, &hwnd)) && hwnd &&
                SUCCEEDED(AccessibleObjectFromWindow(hwnd, DWORD(OBJID_CLIENT), IID_IAccessible,
                                                     reinterpret_cast<void**>(&client)))) {
                inner->Release();
                inner = client;
            }
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            BSTR text = nullptr;
            inner->get_accName(self, &text);
            if (taken(text) == name) {
                found = inner;
            } else {
                found = find(inner, name);
                inner->Release();
            }
        }
        VariantClear(&child);
    }
    return found;
}

// The visible top-level window that `owner` owns, or null.
struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK checkOwned(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<OwnedSearch*>(data);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND ownedWindow(HWND owner) {
    OwnedSearch search{owner, nullptr};
    EnumWindows(checkOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void windows(HWND parent, int depth) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[64] = L"", text[256] = L"";
        GetClassNameW(child, cls, 64);
        GetWindowTextW(child, text, 256);
        const bool visible = (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0;
        std::printf("W %d %s\t%s\t%s\n", depth, utf8(cls).c_str(), utf8(text).c_str(),
                    visible ? "visible" : "hidden");
        windows(child, depth + 1);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int next = 2;
    const bool dialog = argc > next && std::wstring(argv[next]) == L"dialog";
    next += dialog;
    const bool press = argc == next + 2 && std::wstring(argv[next]) == L"press";
    if (argc < 2 || argc != next + (press ? 2 : 0)) return 2;
    HWND window = FindWindowW(argv[1], nullptr);
    if (!window) {
        std::fprintf(stderr, "no window of class %ls\n", argv[1]);
        return 1;
    }
    if (dialog) {
        const HWND menu = window;
        window = ownedWindow(menu);
        if (!window) {
            std::fprintf(stderr, "the window of class %ls owns no visible window\n", argv[1]);
            return 1;
        }
        wchar_t cls[64] = L"", title[256] = L"";
        GetClassNameW(window, cls, 64);
        GetWindowTextW(window, title, 256);
        std::printf("D %s\t%s\n", utf8(cls).c_str(), utf8(title).c_str());
    }
    CoInitialize(nullptr);
    IAccessible* root = nullptr;
    const HRESULT hr = AccessibleObjectFromWindow(window, DWORD(OBJID_CLIENT), IID_IAccessible,
                                                  reinterpret_cast<void**>(&root));
    if (FAILED(hr)) {
        std::fprintf(stderr, "no accessible object for the window (HRESULT %08lx)\n",
                     static_cast<unsigned long>(hr));
        return 1;
    }
    int status = 0;
    if (press) {
        const std::string name = utf8(argv[next + 1]);
        if (IAccessible* target = find(root, name)) {
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            const DWORD started = GetTickCount();
            const HRESULT done = target->accDoDefaultAction(self);
            const auto took = static_cast<unsigned long>(GetTickCount() - started);
            // Wine's oleacc has no default actions (E_NOTIMPL): the button's click is then posted
            // as the button itself tells it, BN_CLICKED to its parent, which does not wait for it
            // (BM_CLICK does nothing under Wine in a window that is not active).
            HWND hwnd = nullptr;
            const bool post =
                done == E_NOTIMPL && SUCCEEDED(WindowFromAccessibleObject(target, &hwnd)) && hwnd &&
                PostMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                             reinterpret_cast<LPARAM>(hwnd));
            std::printf("P %08lx\t%lu%s\n", static_cast<unsigned long>(done), took, post ? "\tposted" : "");
            target->Release();
        } else {
            std::fprintf(stderr, "no object named \"%s\"\n", name.c_str());
            status = 1;
        }
    } else {
        walk(root, 0);
        windows(window, 0);
    }
    root->Release();
    std::fflush(stdout);
    CoUninitialize();
    return status;
}
