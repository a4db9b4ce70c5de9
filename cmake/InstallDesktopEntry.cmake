# Run by `cmake --install` (see Install.cmake) with PYLON_DESKTOP_* set: writes one desktop entry to
# its destination under DESTDIR and the prefix, and adds it to the install manifest.

# Exec's program is quoted. Two layers of escaping: inside the quotes ", `, $ and \ take a
# backslash; then the value's own escaping doubles every backslash (so a literal $ is \\$ in the
# file). Every % is doubled because desktop entries expand field codes.
set(exec "${CMAKE_INSTALL_PREFIX}/${PYLON_DESKTOP_PROGRAM}")
string(REPLACE "\\" "\\\\" exec "${exec}")
foreach(special "\"" "`" "$")
    string(REPLACE "${special}" "\\${special}" exec "${exec}")
endforeach()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")

set(DESKTOP_NAME "${PYLON_DESKTOP_NAME}")
set(DESKTOP_ICON "${PYLON_DESKTOP_ID}")
set(DESKTOP_SCHEME "${PYLON_DESKTOP_SCHEME}")
# The window's class (WM_CLASS) is the application name, which is the bundle identifier.
set(DESKTOP_WM_CLASS "${PYLON_DESKTOP_ID}")
set(DESKTOP_EXEC "${exec}")

set(destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${PYLON_DESKTOP_DIR}/${PYLON_DESKTOP_ID}.desktop")
message(STATUS "Installing: ${destination}")
configure_file("${PYLON_DESKTOP_TEMPLATE}" "${destination}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${destination}")
