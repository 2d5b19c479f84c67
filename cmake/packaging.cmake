# SPDX-License-Identifier: MIT
# What `cmake --install` puts where, and on Windows the zip CPack makes of it. The Linux packages
# come from debian/ (packaging/build-deb), which installs the same way.
set(CPACK_PACKAGE_NAME vextra)
set(CPACK_PACKAGE_VENDOR "Korvane Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turn the new visual styles on or off for old Windows programs")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(VEXTRA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
# Installing and packaging take what the build made of the installed targets; they do not build
# every test first (a Windows build's tests need Wine even to be built).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
  # The zip holds the window and the command line, the template, a short read-me and the licence, in
  # one folder; the texts with CR LF line ends and a .txt name, which is how Windows opens them.
  set(VEXTRA_README_TXT ${CMAKE_BINARY_DIR}/README.txt)
  set(VEXTRA_LICENSE_TXT ${CMAKE_BINARY_DIR}/LICENSE.txt)
  configure_file(${VEXTRA_PACKAGING}/windows/README.txt.in ${VEXTRA_README_TXT} @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${VEXTRA_LICENSE_TXT} @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS vextra vextra-cli RUNTIME DESTINATION .)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/style.dll ${VEXTRA_README_TXT} ${VEXTRA_LICENSE_TXT}
          DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VEXTRA_WINDOWS_ARCH win64)
  else()
    set(VEXTRA_WINDOWS_ARCH win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vextra-${PROJECT_VERSION}-${VEXTRA_WINDOWS_ARCH})
  include(CPack)
else()
  include(GNUInstallDirs)
  install(TARGETS vextra vextra-cli vextra-template RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/style.dll DESTINATION ${CMAKE_INSTALL_DATADIR}/vextra)

  # The desktop entry starts the program in the folder of the installed template, which is known
  # only when installing (cmake --install --prefix may name another prefix than the build's).
  install(CODE "
    set(VEXTRA_DATA_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/vextra\")
    set(VEXTRA_APP_ID ${VEXTRA_APP_ID})
    configure_file(\"${VEXTRA_PACKAGING}/linux/${VEXTRA_APP_ID}.desktop.in\"
                   \"${CMAKE_BINARY_DIR}/install/${VEXTRA_APP_ID}.desktop\" @ONLY)
    file(INSTALL \"${CMAKE_BINARY_DIR}/install/${VEXTRA_APP_ID}.desktop\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
  ")
  configure_file(${VEXTRA_PACKAGING}/linux/${VEXTRA_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/install/${VEXTRA_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/install/${VEXTRA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The icon theme: the SVG source as the scalable icon, and the pictures made from it.
  install(FILES ${PROJECT_SOURCE_DIR}/assets/src/vextra.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VEXTRA_APP_ID}.svg)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/vextra-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${VEXTRA_APP_ID}.png)
  endforeach()

  foreach(page vextra vextra-cli vextra-template)
    configure_file(${VEXTRA_PACKAGING}/man/${page}.1 ${CMAKE_BINARY_DIR}/install/${page}.1 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/install/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vextra)
endif()
