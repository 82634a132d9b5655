#pragma once
// Functions of the system's libraries looked up when first needed, so that a library the menu
// rarely uses costs nothing at start-up. windows.h must come first.

namespace win32 {

// A function of a library in the system folder, as type F; null when there is none.
template <typename F>
inline F systemFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Before Windows 8 (and without its update), the search flag is unknown: the system folder
    // is then named in full.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length > 0 && length < MAX_PATH - 16) {
            lstrcatW(path, L"\\");
            lstrcatW(path, library);
            module = LoadLibraryW(path);
        }
    }
    // Through the generic function pointer type, which converts to any other without complaint.
    return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace win32
