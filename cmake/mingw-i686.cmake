# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-i686-posix).
# The result runs on every Windows from the 32-bit ones up, and under Wine for the tests.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(DISCMENU_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
