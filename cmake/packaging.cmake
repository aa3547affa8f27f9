# What cmake --install puts under the prefix, and the packages cpack makes
# of it:
#   bin/sactab                       stripped by cpack
#   share/man/man1/sactab.1.gz
#   share/doc/sactab/                README.md, CHANGELOG.md, changelog.gz,
#                                    copyright (Debian's format, with the
#                                    licence), LICENSE (static builds only)
# cpack -G TGZ: sactab-VERSION-Linux-ARCH.tar.gz, from a static build;
# cpack -G DEB: sactab_VERSION_ARCH.deb, from the deb preset's dynamic one.
# On Windows, cpack -G ZIP: sactab-VERSION-win64.zip, holding bin\sactab.exe,
# README.md, CHANGELOG.md and LICENSE.
include(GNUInstallDirs)

set(SACTAB_MAINTAINER "sactab developers <sactab@example.org>" CACHE STRING
  "The Debian package's Maintainer: name and address of whoever publishes it")
set(installed "$<TARGET_FILE:sactab>")
if(NOT WIN32)
  set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/sactab.1.gz)
  add_custom_command(OUTPUT ${manual_page}
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/docs/sactab.1 > ${manual_page}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/sactab.1
    COMMENT "Compressing the manual page")
  # changelog.gz is CHANGELOG.md in Debian's changelog format, which packages
  # must carry.
  set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND sh -c "sh \"$1\" \"$2\" \"$3\" | gzip -9 -n > \"$4\"" sh
      ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${SACTAB_MAINTAINER} ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.sh
    COMMENT "Writing the Debian changelog"
    VERBATIM)
  add_custom_target(manual_page ALL DEPENDS ${manual_page} ${changelog})
  # Building the program builds what installs beside it, so an install after
  # any build is complete.
  add_dependencies(sactab manual_page)
  string(APPEND installed "\" \"${manual_page}\" \"${changelog}")
endif()

# Nothing is copied unless everything can be.
install(CODE "
  foreach(built \"${installed}\")
    if(NOT EXISTS \"\${built}\")
      message(FATAL_ERROR \"\${built} is not built: run cmake --build on this build folder (or --target sactab) first\")
    endif()
  endforeach()")
install(TARGETS sactab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(WIN32)
  install(FILES README.md CHANGELOG.md LICENSE DESTINATION .)
else()
  install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md CHANGELOG.md ${changelog} packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian's copyright file already carries the licence, and its policy wants
  # no second copy; the static archives keep LICENSE for everyone else.
  if(SACTAB_STATIC)
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
endif()

set(CPACK_PACKAGE_NAME sactab)
set(CPACK_PACKAGE_VENDOR "sactab developers")
set(CPACK_PACKAGE_CONTACT "${SACTAB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SACTAB_MAINTAINER}")
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
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
