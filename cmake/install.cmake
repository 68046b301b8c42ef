# What `cmake --install` puts in place and what CPack packs: on Linux the
# program, its manual page and the licence (a .tar.gz), on Windows
# kartconv.exe with the README and the licence (a .zip to unpack anywhere).
# The Debian package is built from debian/ with debhelper, which runs this
# install; it carries the licence in its copyright file instead.
include(GNUInstallDirs)

option(KARTCONV_INSTALL_LICENSE "Install the LICENSE file with the program" ON)

if(WIN32)
  install(TARGETS kartconv RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  if(KARTCONV_INSTALL_LICENSE)
    install(FILES LICENSE DESTINATION .)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
else()
  install(TARGETS kartconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/kartconv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(KARTCONV_INSTALL_LICENSE)
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_PACKAGE_NAME kartconv)
set(CPACK_PACKAGE_VENDOR Zettelwandel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converts KART literature database exports to BibTeX")
set(CPACK_PACKAGE_CONTACT "Zettelwandel <kartconv@zettelwandel.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

include(CPack)
