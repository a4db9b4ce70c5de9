# `cmake --install`: the production bundle (and, with PYLON_INSTALL_DEVELOPMENT_BUNDLE, the
# development one) under <prefix>/lib/pylon, `bin/pylon`, a desktop entry per bundle that registers
# its URL scheme, the icons in the hicolor theme, the AppStream metainfo and the licence.
#
# The executable and the accelerator module are installed as targets, so `cmake --install --strip`
# strips them. Everything honours DESTDIR. Nothing is written into the build tree at install time:
# the desktop entries are written straight to their destination, because their Exec line names the
# installed program and the prefix is only known then. URL handlers are registered only for installs
# into the user's home; a package manager's triggers do that for /usr.

include(GNUInstallDirs)

option(PYLON_INSTALL_DEVELOPMENT_BUNDLE "Install the development bundle (Pylon-Dev) as well" OFF)

set(PYLON_INSTALL_BUNDLE_DIR "lib/pylon")
set(PYLON_INSTALL_MODES production)
if(PYLON_INSTALL_DEVELOPMENT_BUNDLE)
    list(APPEND PYLON_INSTALL_MODES development)
endif()

foreach(mode IN LISTS PYLON_INSTALL_MODES)
    get_filename_component(bundle_name "${PYLON_BUNDLE_DIR_${mode}}" NAME)
    set(bundle "${PYLON_INSTALL_BUNDLE_DIR}/${bundle_name}")
    set(companion "${bundle}/Contents/Helpers/${PYLON_ARCH}/${PYLON_COMPANION_NAME_${mode}}.app")

    # The bundle as the build laid it out, but for the two binaries, which go in as targets.
    install(DIRECTORY "${PYLON_BUNDLE_DIR_${mode}}" DESTINATION "${PYLON_INSTALL_BUNDLE_DIR}"
            USE_SOURCE_PERMISSIONS
            PATTERN "Contents/MacOS/Pylon" EXCLUDE
            PATTERN "Contents/MacOS/Pylon-app" EXCLUDE
            PATTERN "accelerator.node" EXCLUDE)
    install(TARGETS Pylon Pylon-app RUNTIME DESTINATION "${bundle}/Contents/MacOS")
    install(TARGETS accelerator LIBRARY DESTINATION "${companion}/Contents/Resources")

    set(id "${PYLON_BUNDLE_ID_${mode}}")
    foreach(size IN ITEMS 16 22 24 32 48 64 128 256 512)
        install(FILES "${PROJECT_SOURCE_DIR}/app/resources/icons/hicolor/${size}x${size}/apps/${id}.png"
                DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
    endforeach()
    install(FILES "${PROJECT_SOURCE_DIR}/app/resources/icons/hicolor/scalable/apps/${id}.svg"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

    # Written at install time: Exec names the installed executable.
    install(CODE "
        set(PYLON_DESKTOP_ID \"${id}\")
        set(PYLON_DESKTOP_NAME \"${PYLON_BUNDLE_NAME_${mode}}\")
        set(PYLON_DESKTOP_SCHEME \"${PYLON_URL_SCHEME_${mode}}\")
        set(PYLON_DESKTOP_PROGRAM \"${bundle}/Contents/MacOS/Pylon\")
        set(PYLON_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/app/resources/pylon.desktop.in\")
        set(PYLON_DESKTOP_DIR \"${CMAKE_INSTALL_DATADIR}/applications\")
        include(\"${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake\")
    ")
endforeach()

# The command users and scripts call; the program finds its bundle through the link.
install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    message(STATUS \"Installing: \${bin}/pylon\")
    file(CREATE_LINK \"../${PYLON_INSTALL_BUNDLE_DIR}/Pylon.app/Contents/MacOS/Pylon\" \"\${bin}/pylon\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${bin}/pylon\")
")

install(FILES "${PROJECT_SOURCE_DIR}/app/resources/net.ostrand.Pylon.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/pylon" RENAME copyright)

# The manual page, compressed as man expects it.
set(manual "${CMAKE_BINARY_DIR}/package/pylon.1")
add_custom_command(OUTPUT "${manual}.gz"
    COMMAND ${CMAKE_COMMAND} -E copy "${PROJECT_SOURCE_DIR}/app/resources/pylon.1" "${manual}"
    COMMAND gzip -n -9 -f "${manual}"
    DEPENDS "${PROJECT_SOURCE_DIR}/app/resources/pylon.1" VERBATIM)
add_custom_target(pylon_manual ALL DEPENDS "${manual}.gz")
install(FILES "${manual}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# Installs into the user's own home make the entries the handlers of their URL schemes at once.
install(CODE "
    if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT \"\$ENV{HOME}\" STREQUAL \"\"
       AND \"\${CMAKE_INSTALL_PREFIX}/\" MATCHES \"^\$ENV{HOME}/\")
        execute_process(COMMAND \"${PROJECT_SOURCE_DIR}/scripts/register-url-handlers\" \"\${CMAKE_INSTALL_PREFIX}\")
    endif()
")

# `make uninstall`: removes what the last install put in place, as its manifest lists it.
add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -P "${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake"
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    COMMENT "Removing the files of the last install")
