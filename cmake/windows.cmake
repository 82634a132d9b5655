# The Windows build, included by the top-level CMakeLists.txt when building for Windows: one
# static, Unicode, 32-bit discmenu.exe that needs only the DLLs every Windows has, kept small.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-ffunction-sections -fdata-sections)
# Release builds are reproducible: the linker writes no time stamp into the PE header.
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections
                 $<$<CONFIG:Release,MinSizeRel>:-s> $<$<CONFIG:Release,MinSizeRel>:-Wl,--no-insert-timestamp>)

add_subdirectory(catalogue)
add_subdirectory(platform)  # UTF-8 and wide text (discmenu_wintext), on Windows
add_subdirectory(core)
if(EXISTS ${PROJECT_SOURCE_DIR}/platform/windows/CMakeLists.txt)
  add_subdirectory(platform/windows)
endif()
add_subdirectory(win32)

if(DISCMENU_BENCH)
  # The yardstick of the start-up benchmark (scripts/bench): an empty window, built the same way.
  add_executable(emptywindow_win32 WIN32 bench/emptywindow_win32.cpp)
  target_link_libraries(emptywindow_win32 PRIVATE gdi32 user32)
  target_link_options(emptywindow_win32 PRIVATE -municode)
endif()

if(DISCMENU_TESTS)
  enable_testing()
  # The Wine of this build's word size starts its programs (32-bit Wine for the 32-bit build).
  set(DISCMENU_WINE_PY ${PROJECT_SOURCE_DIR}/tests/wine/wine.py)
  math(EXPR DISCMENU_WINE_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
  if(EXISTS ${PROJECT_SOURCE_DIR}/tests/windows/CMakeLists.txt)
    add_subdirectory(tests/windows)
  endif()
  add_subdirectory(tests/wine)
endif()
