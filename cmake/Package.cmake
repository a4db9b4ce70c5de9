# `make package`: a Debian package (CPack) of what `cmake --install` puts in place, for /usr.
# Library dependencies come from dpkg-shlibdeps; unzip unpacks the control script and Debian 12's
# nodejs (18) runs the companion.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pylon)
set(CPACK_PACKAGE_VENDOR "Ostrand")
set(CPACK_PACKAGE_CONTACT "Ostrand <pylon@ostrand.net>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for Ableton Live from the Pylon phone app")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Pylon lets the Pylon app on a phone remote-control Ableton Live over the\n"
    "local network. It keeps its companion service running as a user service,\n"
    "shows the companion's state, Live's reachability and the connected phones\n"
    "in a tray menu and a window, finds every installed Live (also under Wine)\n"
    "and installs Live's control script there.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://ostrand.net/pylon")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE "${PYLON_BUILD_NUMBER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unzip, nodejs (>= 18)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian wants a compressed changelog beside the copyright file.
set(changelog "${CMAKE_BINARY_DIR}/package/changelog.Debian")
string(TIMESTAMP PYLON_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${PROJECT_SOURCE_DIR}/cmake/changelog.Debian.in" "${changelog}" @ONLY)
add_custom_command(OUTPUT "${changelog}.gz"
    COMMAND gzip -n -9 -f -k "${changelog}"
    DEPENDS "${changelog}" VERBATIM)
add_custom_target(pylon_changelog ALL DEPENDS "${changelog}.gz")
install(FILES "${changelog}.gz" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/pylon")

include(CPack)
