# What both MinGW-w64 toolchain files share: the compilers of the triple they set
# (DISCMENU_MINGW_TRIPLE), from Debian's -posix packages, which carry the C++ threading support the
# standard library needs.
set(CMAKE_SYSTEM_NAME Windows)
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
