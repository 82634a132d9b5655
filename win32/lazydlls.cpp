// The file-open dialog (comdlg32) and the shell (shell32) are loaded when first used, not when the
// menu starts: loading them and the libraries they bring along takes longer than everything else
// the menu does before its window shows (under Wine, several times as long).
//
// The platform services call GetOpenFileNameW and ShellExecuteExW through their import pointers
// (__imp_ symbols). This file defines those pointers itself, so the linker takes them from here
// and not from the import libraries: each points at a function that loads the library from the
// system folder on the first call and then calls the real function. (The toolchain's own
// delay-import libraries are unusable for 32-bit programs: their calls jump to address 0.)
// windows.h must come first.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
// clang-format on

#include "win32/lazydlls.h"

namespace {

using win32::systemFunction;

BOOL WINAPI openFileName(OPENFILENAMEW* dialog) {
    static const auto real =
        systemFunction<BOOL(WINAPI*)(OPENFILENAMEW*)>(L"comdlg32.dll", "GetOpenFileNameW");
    if (!real) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return real(dialog);
}

BOOL WINAPI shellExecuteEx(SHELLEXECUTEINFOW* info) {
    static const auto real =
        systemFunction<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>(L"shell32.dll", "ShellExecuteExW");
    if (!real) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return real(info);
}

}  // namespace

// The import pointers, under the names the compiler gives them: decorated for 32-bit stdcall
// functions, plain in the 64-bit build (which the tests use where 32-bit programs cannot run).
#ifdef _WIN64
#define DISCMENU_IMPORT(name, decorated) "__imp_" #name
#else
#define DISCMENU_IMPORT(name, decorated) "__imp__" #name decorated
#endif
using OpenFileFn = BOOL(WINAPI*)(OPENFILENAMEW*);
using ShellExecuteFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
extern "C" {
OpenFileFn importedOpenFileName __asm__(DISCMENU_IMPORT(GetOpenFileNameW, "@4")) = openFileName;
ShellExecuteFn importedShellExecuteEx __asm__(DISCMENU_IMPORT(ShellExecuteExW, "@4")) = shellExecuteEx;
}
