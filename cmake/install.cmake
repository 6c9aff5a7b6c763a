# Installation, `uninstall` and the Debian package.
#
#   cmake --install build --prefix /usr/local   (DESTDIR is honoured)
#   cmake --build build --target uninstall      (removes what install_manifest.txt lists)
#   make package   (build/vorsk_VERSION_ARCH.deb; keeps the record of the last install)

include(GNUInstallDirs)

install(TARGETS vorsk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/doc/vorsk.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completions/vorsk.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorsk)
install(FILES ${PROJECT_SOURCE_DIR}/completions/_vorsk
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
# The licence travels with every copy of the program.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# install_manifest.txt lists the paths without DESTDIR, and the package's
# staged install writes it too: each install records its DESTDIR beside it,
# so that uninstall removes the files where that install put them.
install(CODE "file(WRITE \"${CMAKE_BINARY_DIR}/install_destdir.txt\" \"\$ENV{DESTDIR}\")")

add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
          -P ${CMAKE_CURRENT_LIST_DIR}/uninstall.cmake
  COMMENT "Removing the installed files")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorsk)
set(CPACK_PACKAGE_VENDOR "The vorsk developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "show the terminal control functions in a byte stream, one per line")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The vorsk developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The C++ runtime and libc, as dpkg-shlibdeps finds them in the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The summary above becomes the first line of the package's description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"vorsk reads a byte stream full of terminal control functions, such as
the output of a full-screen program or a typescript recorded with
script(1), and writes a line-oriented, human-readable account of it:
runs of text, named control characters, every escape and control
sequence with its decoded parameters, the name of each function
(ECMA-48, ECMA-35 designations, and the private functions of DEC
terminals and of the xterm, dtterm and rxvt emulators), a plain-English
description of what it asks of the terminal, and, with a timing file,
the recorded pauses.")
include(CPack)
