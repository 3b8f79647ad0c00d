# Desktop integration for Linux: application menu entry, icon and a systemd user unit.
if(NOT APPLE)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/thumbrover.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/thumbrover.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/thumbrover.service
                 ${CMAKE_BINARY_DIR}/thumbrover.service @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/thumbrover.service
          DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/systemd/user)
endif()
