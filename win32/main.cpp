// discmenu.exe: the start-up menu of a software medium, on Windows. Takes no arguments: it reads
// "contents.inf" from the current directory (or from beside the program) and shows the menu.
#include <windows.h>

#include "core/menu.h"
#include "platform/windows/windowsplatform.h"
#include "win32/window.h"

namespace {

// The screen's DPI, as this DPI-aware process sees it (96 at 100%).
int screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    platform::WindowsPlatform platform;
    win32::MenuWindow window(instance, screenDpi());
    if (!window.handle()) {
        platform.reportFatal("discmenu: the menu window could not be created");
        return 1;
    }
    core::Menu menu(window, platform);
    window.connect(menu);
    if (const auto error = menu.load()) {
        platform.reportFatal(error->message());
        return 1;
    }
    platform.setOwner(window.handle());
    window.show(showCommand);

    MSG msg{};
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        if (window.translateKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return got < 0 ? 1 : int(msg.wParam);
}
