# The Debian package: `make package` (or `cpack -G DEB` in a build folder)
# writes malvore_<version>_<arch>.deb holding everything `cmake --install`
# installs, below /usr, plus the copyright file and the changelog in
# /usr/share/doc/malvore. Those two belong to the package only: they are the
# component "deb", which a plain `cmake --install` leaves out.

set(MALVORE_DEB_DIR ${PROJECT_SOURCE_DIR}/cmake/deb)

# cpack runs the build's "preinstall" target, which would otherwise build
# everything, the test suite included. Build what is installed first:
# `make package` builds the two programs, then packs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Debian wants the changelog compressed with gzip -9n (no name, no time). The
# package is native (its version has no Debian revision), so the file is
# changelog.gz, not changelog.Debian.gz.
set(MALVORE_DEB_CHANGELOG ${CMAKE_BINARY_DIR}/deb/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
execute_process(COMMAND gzip -9nc ${MALVORE_DEB_DIR}/changelog
  OUTPUT_FILE ${MALVORE_DEB_CHANGELOG} RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip -9n of ${MALVORE_DEB_DIR}/changelog failed: ${gzip_result}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MALVORE_DEB_DIR}/changelog)
install(FILES ${MALVORE_DEB_DIR}/copyright ${MALVORE_DEB_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME}
        COMPONENT deb EXCLUDE_FROM_ALL)

# The manual pages of both programs, with the version filled in and
# compressed as Debian wants them (gzip -9n). Every install gets them.
set(MALVORE_MAN_PAGES)
foreach(page malvore.1 malvore-rescue.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/man/${page}
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/man/${page}.gz RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip -9n of docs/man/${page} failed: ${gzip_result}")
  endif()
  list(APPEND MALVORE_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
install(FILES ${MALVORE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrin)
set(CPACK_PACKAGE_CONTACT "Kestrin <malvore@kestrin.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# One package of the files every install gets and of the "deb" component.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified deb)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kestrin.org/malvore)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "rescue files from ZX Spectrum TOS floppy disk images
TOS Malvore reads floppy disk images of the TOS disk system of ZX Spectrum
family computers, in the DSK and Extended DSK container formats, and saves
every catalog file with a plain-text description of its header and of its
damaged sectors, one TAP tape archive per disk, and the data no catalog entry
claims as lost block files.

This package holds the window program malvore, with a hex view and a graphics
view of the raw disk contents, and the batch tool malvore-rescue, which needs
no display.")
# The libraries the programs link are found by dpkg-shlibdeps (dpkg-dev); the
# window also loads the SVG image plugin for its icon.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5svg5")

include(CPack)

if(MALVORE_BUILD_TESTS)
  # Packs this build into a scratch folder and checks the package.
  add_test(NAME test_package
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/test_package.sh --build ${CMAKE_BINARY_DIR})
  set_tests_properties(test_package PROPERTIES SKIP_RETURN_CODE 77
    # The programs are built before the tests run; cpack installs them as
    # the install test does.
    RESOURCE_LOCK install_manifest)
endif()
