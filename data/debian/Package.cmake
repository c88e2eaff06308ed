# The Debian package: stripped programs, the run-time libraries found by dpkg-shlibdeps, and what
# the program needs that no library link shows.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${QUILLON_FULL_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon maintainers")
set(CPACK_PACKAGE_CONTACT "${QUILLON_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop task-list manager")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon keeps task lists in .ql1 files and opens several at once, each in a
tab of one window. Tasks are added from an entry bar and change their state
with one command each; lists can be sorted, narrowed to a view, searched and
printed as a report. The command-line companion quillon-cli reads and changes
lists without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLON_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening files, web addresses and folders goes through xdg-open; the URL dialog fetches https pages;
# the windows' Tahoma and the report's Arial come from the two font packages.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, ca-certificates, fonts-wine, fonts-liberation")
# Qt runs on Wayland through its plugin there, and on X11 (or XWayland) without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
