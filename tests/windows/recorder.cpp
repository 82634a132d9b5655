// A stand-in for a set-up program in the Windows tests. It appends one line to the file that the
// environment variable DISCMENU_RECORD names: its current folder, its own full path and its
// arguments, separated by tabs, in UTF-8, so that a test sees which program ran, where and with
// what. Started as "recorder --window", it also shows a window until it is closed or 30 s pass.
#include <windows.h>

#include <string>

#include "platform/windows/programstart.h"
#include "platform/windows/wintext.h"

namespace {

void record(int argc, wchar_t** argv) {
    wchar_t name[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"DISCMENU_RECORD", name, MAX_PATH)) return;
    std::wstring line = platform::win::currentDirectory();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    line += L'\t';
    line += self;
    for (int i = 1; i < argc; ++i) {
        line += L'\t';
        line += argv[i];
    }
    const std::string bytes = platform::win::narrow(line) + "\n";
    const HANDLE file = CreateFileW(name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY || message == WM_TIMER) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void showWindow() {
    WNDCLASSW type{};
    type.lpfnWndProc = windowProc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"DiscmenuRecorder";
    RegisterClassW(&type);
    const HWND window = CreateWindowW(L"DiscmenuRecorder", L"recorder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                      10, 200, 100, nullptr, nullptr, type.hInstance, nullptr);
    if (!window) return;
    SetTimer(window, 1, 30000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    record(argc, argv);
    if (argc > 1 && std::wstring(argv[1]) == L"--window") showWindow();
    return 0;
}
