# The install rules (GNUInstallDirs): the publisher's tools in the bin folder, and everything a
# medium carries beside the publisher's files (the runtime, made by scripts/build-runtime) in one
# folder of the library folder, with the helper scripts make-medium runs beside it:
#   bin/discmenu-edit, bin/discmenu-check, bin/discmenu-make-medium
#   LIBDIR/discmenu/runtime/       autorun.sh, discmenu.exe, discmenu.ico, discmenu/ ...
#   LIBDIR/discmenu/catalogue-labels, licenses
#   DOCDIR/examples/sample-cd/     the sample medium
# The runtime is built outside this tree's configuration (in a Debian 11 root, and for Windows):
# configure with -DDISCMENU_RUNTIME_DIR=DIR to install it and discmenu-make-medium, as
# scripts/release does. Without it only the editor and the checker are installed.
include(GNUInstallDirs)
set(DISCMENU_RUNTIME_DIR "" CACHE PATH "A runtime made by scripts/build-runtime, installed for discmenu-make-medium")

install(TARGETS discmenu-edit discmenu-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/sample-cd DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        USE_SOURCE_PERMISSIONS)

if(DISCMENU_RUNTIME_DIR)
  if(NOT EXISTS ${DISCMENU_RUNTIME_DIR}/runtime.info)
    message(FATAL_ERROR "DISCMENU_RUNTIME_DIR ${DISCMENU_RUNTIME_DIR} is no runtime (scripts/build-runtime makes one)")
  endif()
  set(discmenu_libexec ${CMAKE_INSTALL_LIBDIR}/discmenu)
  install(DIRECTORY ${DISCMENU_RUNTIME_DIR}/ DESTINATION ${discmenu_libexec}/runtime USE_SOURCE_PERMISSIONS)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/catalogue-labels
          DESTINATION ${discmenu_libexec})
  # make-medium finds the runtime relative to itself, wherever the tree is installed.
  file(RELATIVE_PATH DISCMENU_RUNTIME_FROM_BIN /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${discmenu_libexec}/runtime)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/assemble-medium ${PROJECT_BINARY_DIR}/discmenu-make-medium @ONLY)
  install(PROGRAMS ${PROJECT_BINARY_DIR}/discmenu-make-medium DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
