# What `cmake --install` places, and the Debian package built from it.
#
# The menu entry lies in the folder "Kaldorworks", which makes its desktop
# file id "Kaldorworks-Kivo.desktop": the id of the launcher the program
# itself puts into the user's menu folder, so that one replaces the menu
# entry instead of showing Kivo twice.
include(GNUInstallDirs)

if(TARGET kivo)
  install(TARGETS kivo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/Kivo.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/Kaldorworks)
  install(FILES ${PROJECT_SOURCE_DIR}/src/ui/common/icons/128-program.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME kivo.svg)
endif()
if(TARGET kivo-cli)
  install(TARGETS kivo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
set(CPACK_PACKAGE_VENDOR Kaldorworks)
set(CPACK_PACKAGE_CONTACT "Kivo maintainers <kivo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "named sets of files and folders, deleted, copied, moved or zipped in one go")
set(CPACK_PACKAGE_DESCRIPTION
    "Kivo keeps named sets of files and folders and runs Delete (with overwrite passes), Copy, Move and Zip on them, and extracts zip archives. The package holds the desktop program kivo and the command-line companion kivo-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KIVO_HOMEPAGE})
# The run-time libraries are read from the binaries (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

# The package built from this tree, checked as `make package` checks the
# Release one.
if(TARGET kivo AND TARGET kivo-cli)
  add_test(NAME package_contents
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/build-and-check ${CMAKE_BINARY_DIR})
endif()
