#include "platform/windows/windowsplatform.h"

#include <commdlg.h>

#include <vector>

#include "platform/windows/programstart.h"
#include "platform/windows/wintext.h"

namespace platform {

using win::narrow;
using win::widen;

namespace {

// The caption of message boxes when there is no menu window (a failed start-up).
constexpr wchar_t ProgramName[] = L"discmenu";

struct WindowSearch {
    DWORD processId = 0;
    HWND window = nullptr;  // a visible top-level window without an owner: the main window
    HWND owned = nullptr;   // else a visible owned one (a program that shows only a dialog)
};

BOOL CALLBACK findProcessWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
    if (GetWindow(window, GW_OWNER)) {
        if (!search->owned) search->owned = window;
        return TRUE;
    }
    search->window = window;
    return FALSE;
}

}  // namespace

std::string WindowsPlatform::applicationPath() { return narrow(win::moduleDirectory()); }

std::string WindowsPlatform::currentDirectory() { return narrow(win::currentDirectory()); }

Failure WindowsPlatform::changeDirectory(const std::string& folder) {
    // An empty folder names the current one, as on Linux.
    if (folder.empty()) return std::nullopt;
    if (SetCurrentDirectoryW(win::withBackslashes(widen(folder)).c_str())) return std::nullopt;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME) {
        return "no such folder";
    }
    return win::describeError(error);  // "not a folder" for a file
}

StartResult WindowsPlatform::shell(const std::string& commandLine) {
    const win::SearchPlaces places = win::SearchPlaces::ofThisProcess();
    return win::startCommand(win::resolveCommand(widen(commandLine), places), places, SW_SHOWNORMAL);
}

void WindowsPlatform::appActivate(std::int64_t taskId) {
    if (taskId <= 0 || taskId > 0xFFFFFFFFLL) return;
    WindowSearch search;
    search.processId = static_cast<DWORD>(taskId);
    EnumWindows(findProcessWindow, reinterpret_cast<LPARAM>(&search));
    const HWND window = search.window ? search.window : search.owned;
    if (!window) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

void WindowsPlatform::winExec(const std::string& commandLine, int showState) {
    const win::SearchPlaces places = win::SearchPlaces::ofThisProcess();
    const win::ViewerStart viewer = win::viewerCommand(widen(commandLine), places);
    if (!viewer.message.empty()) {
        showMessage(viewer.message);
        return;
    }
    const StartResult started = win::startCommand(viewer.command, places, showState);
    if (started.failure) showMessage("Cannot start \"" + viewer.program + "\": " + *started.failure + ".");
}

OpenDialogResult WindowsPlatform::showOpen(const OpenDialogRequest& request) {
    const std::wstring filter = win::dialogFilter(request.filter);
    const std::wstring folder = win::currentDirectory();
    std::vector<wchar_t> file(32768, L'\0');

    // Hook and template flags would make the dialog call through pointers that are not set.
    const DWORD asked = static_cast<DWORD>(request.flags) &
                        ~static_cast<DWORD>(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE |
                                            OFN_ALLOWMULTISELECT);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = request.filterIndex > 0 ? static_cast<DWORD>(request.filterIndex) : 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.c_str();
    // Looking through the medium adds nothing to the user's recent documents.
    dialog.Flags = asked | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_DONTADDTORECENT;
    const BOOL picked = GetOpenFileNameW(&dialog);
    // OFN_NOCHANGEDIR is not honoured by every version of the open dialog; documents and program
    // folders are relative to the current directory, so it is put back in any case.
    SetCurrentDirectoryW(folder.c_str());
    if (!picked) return {};
    return {false, narrow(file.data())};
}

void WindowsPlatform::showMessage(const std::string& text) { messageBox(text, MB_ICONWARNING); }

void WindowsPlatform::reportFatal(const std::string& text) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error && error != INVALID_HANDLE_VALUE) {
        DWORD mode = 0;
        DWORD written = 0;
        if (GetConsoleMode(error, &mode)) {
            const std::wstring line = widen(text) + L"\r\n";
            WriteConsoleW(error, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        } else {
            const std::string line = text + "\n";
            WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
    }
    messageBox(text, MB_ICONERROR);
}

void WindowsPlatform::endProgram(int status) { PostQuitMessage(status); }

// A message box or dialog with an owner that is gone would not show at all.
HWND WindowsPlatform::owner() const { return owner_ && IsWindow(owner_) ? owner_ : GetActiveWindow(); }

void WindowsPlatform::messageBox(const std::string& text, UINT icon) {
    const HWND window = owner();
    std::wstring caption;
    if (window) {
        caption.resize(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1);
        caption.resize(static_cast<std::size_t>(
            GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()))));
    }
    if (caption.empty()) caption = ProgramName;
    MessageBoxW(window, widen(text).c_str(), caption.c_str(), MB_OK | icon);
}

}  // namespace platform
