# `cmake --install`: both bundles under <prefix>/lib/pylon, a .desktop entry per bundle that
# registers its URL scheme, and the application icon. Exec lines name the installed bundle, so the
# entries are written at install time, when the prefix is known.

set(PYLON_INSTALL_BUNDLE_DIR "lib/pylon")

foreach(mode IN LISTS PYLON_BUNDLE_MODES)
    install(DIRECTORY "${PYLON_BUNDLE_DIR_${mode}}" DESTINATION "${PYLON_INSTALL_BUNDLE_DIR}" USE_SOURCE_PERMISSIONS)
    install(FILES "${PROJECT_SOURCE_DIR}/app/resources/images/PylonHero.png"
            DESTINATION share/pixmaps RENAME "${PYLON_BUNDLE_ID_${mode}}.png")

    get_filename_component(bundle_name "${PYLON_BUNDLE_DIR_${mode}}" NAME)
    set(desktop_file "${PYLON_BUNDLE_ID_${mode}}.desktop")
    # Escaped so these are evaluated when installing, not when configuring.
    install(CODE "
        set(DESKTOP_NAME \"${PYLON_BUNDLE_NAME_${mode}}\")
        set(DESKTOP_ICON \"${PYLON_BUNDLE_ID_${mode}}\")
        set(DESKTOP_SCHEME \"${PYLON_URL_SCHEME_${mode}}\")
        set(DESKTOP_EXEC \"\${CMAKE_INSTALL_PREFIX}/${PYLON_INSTALL_BUNDLE_DIR}/${bundle_name}/Contents/MacOS/Pylon\")
        configure_file(\"${PROJECT_SOURCE_DIR}/app/resources/pylon.desktop.in\"
                       \"${CMAKE_BINARY_DIR}/desktop/${desktop_file}\" @ONLY)
        file(INSTALL \"${CMAKE_BINARY_DIR}/desktop/${desktop_file}\"
             DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\")
    ")
endforeach()
