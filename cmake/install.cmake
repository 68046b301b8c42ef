# What `cmake --install` puts in place and what CPack packs: on Linux the
# program and its manual page (a Debian package and a .tar.gz), on Windows
# kartconv.exe with the README (a .zip to unpack anywhere).
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS kartconv RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
else()
  install(TARGETS kartconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/kartconv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(CPACK_GENERATOR DEB TGZ)
endif()

set(CPACK_PACKAGE_NAME kartconv)
set(CPACK_PACKAGE_VENDOR Zettelwandel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converts KART literature database exports to BibTeX")
set(CPACK_PACKAGE_CONTACT "Zettelwandel <kartconv@zettelwandel.invalid>")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kartconv reads the plain-text export of a KART literature database and\nwrites a BibTeX file with one entry for every record.")

include(CPack)
