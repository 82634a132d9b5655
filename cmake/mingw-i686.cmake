# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-i686-posix).
# The -posix compilers carry the C++ threading support the standard library needs; the result
# runs on every Windows from the 32-bit ones up, and under Wine for the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(DISCMENU_MINGW_TRIPLE i686-w64-mingw32)
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
