# Packages, built with `cpack` (scripts/package.sh): a .deb installing under /usr with
# its dependencies computed from the binary, and a relocatable .tar.gz program folder.
set(CPACK_PACKAGE_NAME ostrevane)
set(CPACK_PACKAGE_VENDOR "The Ostrevane developers")
set(CPACK_PACKAGE_CONTACT "The Ostrevane developers <ostrevane@users.noreply.github.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven window switcher for X11")
set(CPACK_PACKAGE_DESCRIPTION "Hold Alt and press Tab: a narrow panel slides in from a screen edge and lists,
most recently used first, the open windows, each browser's tabs as one group,
running applications without windows and, in search, installed applications.
Keys move the highlight, search, close windows and tabs, quit applications and
show the desktop; releasing Alt opens the highlighted row.")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES TRUE)
# The archive unpacks into one folder of this name.
set(CPACK_PACKAGE_FILE_NAME "Ostrevane-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackagingPerGenerator.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, never linked: the platform plugins that reach the X server, and
# libcrypto, which checks the signatures of updates.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libssl3")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
