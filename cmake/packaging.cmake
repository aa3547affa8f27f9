# What cmake --install puts under the prefix, and the packages cpack makes
# of it:
#   bin/sactab                       stripped by cpack
#   share/man/man1/sactab.1.gz
#   share/doc/sactab/                README.md, LICENSE, copyright (Debian's format)
# cpack -G TGZ: sactab-VERSION-Linux-ARCH.tar.gz; cpack -G DEB: sactab_VERSION_ARCH.deb.
include(GNUInstallDirs)

set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/sactab.1.gz)
add_custom_command(OUTPUT ${manual_page}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/docs/sactab.1 > ${manual_page}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/sactab.1
  COMMENT "Compressing the manual page")
add_custom_target(manual_page ALL DEPENDS ${manual_page})

install(TARGETS sactab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME sactab)
set(CPACK_PACKAGE_VENDOR "sactab developers")
set(CPACK_PACKAGE_CONTACT "sactab developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "sactab reads one binary SAC recording and writes beside it a plain-text\n"
  "table, FILE.asc, with one line per sample: the time (or the file's own x\n"
  "value) and the sample, byte for byte as printf's %e and %f print them.\n"
  "It reads files of either byte order, refuses a damaged file with one clear\n"
  "message, and never leaves a partial table or damages an earlier one, so\n"
  "it can be run from scripts on thousands of recordings.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
