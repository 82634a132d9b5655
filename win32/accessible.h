#pragma once
// windows.h must come first.
#include <string>

#include "core/layout.h"

namespace win32 {

// The answer to WM_GETOBJECT for a control that Windows' own accessible object describes wrongly
// (the picture: a focusable window that Windows calls a client area, with no description): that
// object with its role and description replaced. oleacc, oleaut32 and COM are loaded on the first
// call, which comes only from a screen reader or another accessibility client; 0 (so that
// DefWindowProc answers) where they cannot be had.
LRESULT describedObject(HWND hwnd, WPARAM wParam, LPARAM lParam, core::AccessibleRole role,
                        const std::wstring& description);

}  // namespace win32
