# The two application bundles, laid out as on a Mac so the running program can find its bundle
# from its own path. Every part of the build that ships something inside a bundle adds it with
# pylon_bundle_add_file() or by copying into ${PYLON_BUNDLE_DIR_<mode>} from its own target.
#
# This is the table of build modes: the companion's launcher passes its mode's port, label, display
# name and app-support folder name to the companion (companion/CMakeLists.txt); nothing else
# spells them.

set(PYLON_BUNDLE_MODES production development)

set(PYLON_BUNDLE_DIR_production "${CMAKE_BINARY_DIR}/Pylon.app")
set(PYLON_BUNDLE_ID_production "net.ostrand.Pylon")
set(PYLON_BUNDLE_NAME_production "Pylon")
set(PYLON_COMPANION_NAME_production "Pylon Companion")
set(PYLON_COMPANION_LABEL_production "net.ostrand.PylonCompanion")
set(PYLON_COMPANION_PLIST_production "PylonCompanion-${PYLON_ARCH}.plist")
set(PYLON_COMPANION_PORT_production 47150)
set(PYLON_APP_SUPPORT_FOLDER_production "Pylon")
set(PYLON_URL_SCHEME_production "pylon")
set(PYLON_FEED_URL_production "https://updates.ostrand.net/pylon/appcast.xml" CACHE STRING
    "Update feed (SUFeedURL) of the production bundle")

set(PYLON_BUNDLE_DIR_development "${CMAKE_BINARY_DIR}/Pylon-Dev.app")
set(PYLON_BUNDLE_ID_development "net.ostrand.Pylon-Dev")
set(PYLON_BUNDLE_NAME_development "Pylon-Dev")
set(PYLON_COMPANION_NAME_development "Pylon Companion-Dev")
set(PYLON_COMPANION_LABEL_development "net.ostrand.PylonCompanion-Dev")
set(PYLON_COMPANION_PLIST_development "PylonCompanion-Dev-${PYLON_ARCH}.plist")
set(PYLON_COMPANION_PORT_development 47250)
set(PYLON_APP_SUPPORT_FOLDER_development "Pylon-Dev")
set(PYLON_URL_SCHEME_development "pylon-dev")
set(PYLON_FEED_URL_development "https://updates.ostrand.net/pylon-dev/appcast.xml" CACHE STRING
    "Update feed (SUFeedURL) of the development bundle")

# The companion application inside a bundle: Contents/Helpers/<arch>/<display name>.app
foreach(mode IN LISTS PYLON_BUNDLE_MODES)
    set(PYLON_COMPANION_APP_DIR_${mode}
        "${PYLON_BUNDLE_DIR_${mode}}/Contents/Helpers/${PYLON_ARCH}/${PYLON_COMPANION_NAME_${mode}}.app")
endforeach()

# Writes Contents/Info.plist of each bundle at configure time (it only depends on configure-time values).
function(pylon_write_info_plists)
    foreach(mode IN LISTS PYLON_BUNDLE_MODES)
        set(BUNDLE_IDENTIFIER "${PYLON_BUNDLE_ID_${mode}}")
        set(BUNDLE_NAME "${PYLON_BUNDLE_NAME_${mode}}")
        set(BUNDLE_SHORT_VERSION "${PROJECT_VERSION}")
        set(BUNDLE_VERSION "${PYLON_BUILD_NUMBER}")
        set(URL_SCHEME "${PYLON_URL_SCHEME_${mode}}")
        set(FEED_URL "${PYLON_FEED_URL_${mode}}")
        configure_file("${PROJECT_SOURCE_DIR}/app/resources/Info.plist.in"
                       "${PYLON_BUNDLE_DIR_${mode}}/Contents/Info.plist" @ONLY)
        file(MAKE_DIRECTORY "${PYLON_BUNDLE_DIR_${mode}}/Contents/Resources")
    endforeach()
endfunction()

# Copies the built executable `target` into Contents/MacOS of both bundles after each build.
function(pylon_bundle_executable target)
    foreach(mode IN LISTS PYLON_BUNDLE_MODES)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory "${PYLON_BUNDLE_DIR_${mode}}/Contents/MacOS"
            COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:${target}>"
                    "${PYLON_BUNDLE_DIR_${mode}}/Contents/MacOS/$<TARGET_FILE_NAME:${target}>"
            VERBATIM)
    endforeach()
endfunction()

# Copies a source file into Contents/Resources of both bundles, again whenever it changes.
function(pylon_bundle_resource target source)
    get_filename_component(name "${source}" NAME)
    foreach(mode IN LISTS PYLON_BUNDLE_MODES)
        set(out "${PYLON_BUNDLE_DIR_${mode}}/Contents/Resources/${name}")
        add_custom_command(OUTPUT "${out}"
            COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}" "${out}"
            DEPENDS "${source}" VERBATIM)
        target_sources(${target} PRIVATE "${out}")
    endforeach()
endfunction()
