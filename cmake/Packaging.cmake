# The Debian package: `cpack -G DEB` in a build tree (scripts/package does it from the release
# preset). Installed under /usr whatever CMAKE_INSTALL_PREFIX the build has.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TAVO_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR Tavo)
set(CPACK_PACKAGE_CONTACT "Tavo Desktop developers <desktop@tavo.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop and command-line client for Tavo home-automation boxes")
set(CPACK_PACKAGE_DESCRIPTION [[
Tavo Desktop shows your Tavo relay boxes with the live state of every relay,
switches them from a window or the tray menu, shares boxes relay by relay,
reads activity logs and sets up new boxes on your Wi-Fi. The assistant answers
in chat and by voice, switches relays, plays music and handles skills.

tavoctl does the same from a terminal and in scripts, with JSON listings.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories as Debian has them, whatever the umask of the machine that builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tavo.app)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps can't see them: the QML modules the screens import.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-templates, qml6-module-qtquick-window, qml6-module-qtqml-workerscript")
# Music, spoken replies and finding boxes on the network.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-good, qt6-speech-speechd-plugin, avahi-daemon")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring, qt6-wayland")
include(CPack)
