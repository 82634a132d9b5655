// clang-format off
#include <windows.h>
#include <oleacc.h>
// clang-format on

#include "win32/accessible.h"

#include "win32/lazydlls.h"

namespace win32 {
namespace {

struct Oleacc {
    HRESULT(WINAPI* createStandard)(HWND, LONG, REFIID, void**) = nullptr;
    LRESULT(WINAPI* resultFrom)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
    BSTR(WINAPI* allocString)(const OLECHAR*) = nullptr;
    bool ready = false;
};

const Oleacc& oleacc() {
    static const Oleacc functions = [] {
        Oleacc f;
        // The object is handed to the other process through COM, which must be started on this
        // (the window's) thread first. A single-threaded apartment, as the file dialog starts it.
        const auto initialise =
            systemFunction<HRESULT(WINAPI*)(LPVOID, DWORD)>(L"ole32.dll", "CoInitializeEx");
        if (!initialise || FAILED(initialise(nullptr, COINIT_APARTMENTTHREADED))) return f;
        f.createStandard =
            systemFunction<decltype(f.createStandard)>(L"oleacc.dll", "CreateStdAccessibleObject");
        f.resultFrom = systemFunction<decltype(f.resultFrom)>(L"oleacc.dll", "LresultFromObject");
        f.allocString = systemFunction<decltype(f.allocString)>(L"oleaut32.dll", "SysAllocString");
        f.ready = f.createStandard && f.resultFrom && f.allocString;
        return f;
    }();
    return functions;
}

// The roles of MSAA for the core's.
DWORD msaaRole(core::AccessibleRole role) {
    switch (role) {
        case core::AccessibleRole::Frame:
            return ROLE_SYSTEM_WINDOW;
        case core::AccessibleRole::Panel:
            return ROLE_SYSTEM_GROUPING;
        case core::AccessibleRole::Label:
            return ROLE_SYSTEM_STATICTEXT;
        case core::AccessibleRole::ReadOnlyText:
            return ROLE_SYSTEM_TEXT;
        case core::AccessibleRole::List:
            return ROLE_SYSTEM_LIST;
        case core::AccessibleRole::Button:
            return ROLE_SYSTEM_PUSHBUTTON;
        case core::AccessibleRole::Picture:
            return ROLE_SYSTEM_GRAPHIC;
    }
    return ROLE_SYSTEM_CLIENT;
}

bool isSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// Windows' object for the window, asked everything but the two answers it gets wrong.
class Described final : public IAccessible {
public:
    Described(IAccessible* standard, DWORD role, const std::wstring& description)
        : standard_(standard), role_(role), description_(description) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            standard_->Release();
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!isSelf(child) || !role) return standard_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = LONG(role_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!isSelf(child) || !description) return standard_->get_accDescription(child, description);
        *description = oleacc().allocString(description_.c_str());
        return *description ? S_OK : E_OUTOFMEMORY;
    }

    // Everything else as Windows answers it.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return standard_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
        return standard_->Invoke(id, iid, locale, flags, params, result, exception, argument);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    IAccessible* standard_;
    DWORD role_;
    std::wstring description_;
    LONG references_ = 1;
};

}  // namespace

LRESULT describedObject(HWND hwnd, WPARAM wParam, LPARAM lParam, core::AccessibleRole role,
                        const std::wstring& description) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
    const Oleacc& f = oleacc();
    if (!f.ready) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(f.createStandard(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* described = new Described(standard, msaaRole(role), description);
    // The result holds its own reference when it succeeds.
    const LRESULT result = f.resultFrom(__uuidof(IAccessible), wParam, described);
    described->Release();
    return result > 0 ? result : 0;
}

}  // namespace win32
