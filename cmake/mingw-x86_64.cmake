# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64-posix).
# The same sources as the 32-bit build (cmake/mingw-i686.cmake); this build is for the Wine tests on
# machines whose kernel runs no 32-bit code, where 32-bit Wine cannot start. Media carry the
# 32-bit discmenu.exe.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DISCMENU_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
