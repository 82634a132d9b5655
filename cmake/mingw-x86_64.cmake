# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64-posix).
# The same sources as the 32-bit build (cmake/mingw-i686.cmake); this build is for the Wine tests on
# machines whose kernel runs no 32-bit code, where 32-bit Wine cannot start. Media carry the
# 32-bit discmenu.exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DISCMENU_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DISCMENU_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DISCMENU_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DISCMENU_MINGW_TRIPLE}-windres)

# Headers and libraries come from the cross toolchain's own root only; programs (Python, the
# generators) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${DISCMENU_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
