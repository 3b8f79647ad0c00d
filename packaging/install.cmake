# What `make install` and the Debian package put where (prefix /usr/local, or /usr in the package):
#   bin/thumbrover, bin/thumbroverctl              the program and its companion tool
#   share/applications/app.thumbrover.Thumbrover.desktop  the application menu entry
#   share/icons/hicolor/scalable/apps/thumbrover.svg
#   lib/systemd/user/thumbrover.service            `systemctl --user enable --now thumbrover`
#   manual pages, copyright, changelog and AppStream metadata: packaging/documents.cmake
#   lib/udev/rules.d/70-thumbrover-uinput.rules    /dev/uinput for the user at the seat
#   lib/modules-load.d/thumbrover-uinput.conf      uinput loaded at boot
#   share/gnome-shell/extensions/thumbrover@thumbrover.app/   the GNOME Shell extension that
#       tells which application is in front; GNOME runs it once the user switches it on
#   share/doc/thumbrover/examples/*.scenario       scenarios for `thumbroverctl replay`
# (udev and systemd-modules-load read both lib folders under /usr and under /usr/local.)
install(TARGETS thumbrover thumbroverctl
        BUNDLE DESTINATION .
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT APPLE)
  include(${CMAKE_SOURCE_DIR}/packaging/documents.cmake)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/app.thumbrover.Thumbrover.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/thumbrover.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Not CMAKE_INSTALL_LIBDIR: udev and systemd look in lib/, never in a multiarch folder.
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/70-thumbrover-uinput.rules
          DESTINATION lib/udev/rules.d)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/thumbrover-uinput.conf
          DESTINATION lib/modules-load.d)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/packaging/gnome-shell/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)
  # A few of the engine's own test scenarios, each explained in its opening comment and ending in
  # the output it gives with the default settings.
  set(scenarios ${CMAKE_SOURCE_DIR}/tests/core/engine/scenarios)
  install(FILES ${scenarios}/left_click_drags.scenario ${scenarios}/press_or_hold.scenario
                ${scenarios}/scroll.scenario ${scenarios}/shortcuts.scenario
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  # The unit names the program by its installed path, which is known only when installing: the
  # package installs under /usr whatever the build was configured with. Written straight to its
  # place, so that `sudo make install` creates nothing in the build folder.
  install(CODE "
    set(THUMBROVER_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(unit \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/thumbrover.service\")
    file(READ \"${CMAKE_SOURCE_DIR}/packaging/thumbrover.service\" text)
    string(CONFIGURE \"\${text}\" text @ONLY)
    message(STATUS \"Installing: \$ENV{DESTDIR}\${unit}\")
    file(WRITE \"\$ENV{DESTDIR}\${unit}\" \"\${text}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${unit}\")
  ")

  # `make package`: a Debian package for `apt install ./thumbrover_*.deb`.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME thumbrover)
  set(CPACK_PACKAGE_VENDOR "Thumbrover")
  set(CPACK_PACKAGE_CONTACT "${THUMBROVER_MAINTAINER}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "game controller as mouse and media remote")
  string(CONCAT CPACK_PACKAGE_DESCRIPTION
      "Thumbrover turns a game controller with the Xbox layout into a mouse and media\n"
      "remote: one stick moves the pointer, the other scrolls, and each of 17 inputs\n"
      "performs a configurable action when pressed and another when held. It lives in\n"
      "the system tray, and works in X11 and Wayland sessions alike (in Wayland\n"
      "through virtual input devices).")
  set(CPACK_PACKAGE_HOMEPAGE_URL "https://thumbrover.app")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The shared libraries come from dpkg-shlibdeps; what is only loaded or started at run time is
  # named here: Qt's X11 platform plugin, curl with the certificates for the update check, and
  # xdg-open for files and download pages.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # xkb-data: the keyboard layouts the virtual keyboard types through in Wayland sessions.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, curl, ca-certificates, xdg-utils, xkb-data")
  # qt6-wayland: the windows in a Wayland session without Xwayland.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session, qt6-wayland")
  # Maintainer scripts that put the /dev/uinput rule into effect (and out of it) at once.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${CMAKE_SOURCE_DIR}/packaging/linux/debian/postinst
      ${CMAKE_SOURCE_DIR}/packaging/linux/debian/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  include(CPack)
endif()
