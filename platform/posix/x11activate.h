#pragma once
#include <cstdint>

namespace platform {

// Looks for a top-level window of process `pid` (by _NET_WM_PID among the window manager's
// client list, or among the root's children where there is no window manager) and asks the
// window manager to activate it (_NET_ACTIVE_WINDOW). Returns whether a window was found. Does
// nothing and returns false when no X server answers on DISPLAY.
bool activateWindowOfProcess(std::int64_t pid);

}  // namespace platform
