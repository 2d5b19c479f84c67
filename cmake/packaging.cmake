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
  # The releases the AppStream metadata lists come from debian/changelog: each entry's version and
  # the day its trailer line gives. The newest is the project's version.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/debian/changelog)
  file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog changelog REGEX "^(vextra \\(| -- )")
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  set(VEXTRA_RELEASES "")
  foreach(line IN LISTS changelog)
    if(line MATCHES "^vextra \\(([^)]+)\\)")
      set(release_version ${CMAKE_MATCH_1})
      if(NOT VEXTRA_RELEASES AND NOT release_version STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "debian/changelog's newest version ${release_version} is not the project's ${PROJECT_VERSION}")
      endif()
    elseif(line MATCHES "  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
      set(year ${CMAKE_MATCH_3})
      list(FIND months ${CMAKE_MATCH_2} month)
      math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
      set(day ${CMAKE_MATCH_1})
      foreach(field day month)
        if(${field} LESS 10)
          set(${field} 0${${field}})
        endif()
      endforeach()
      string(APPEND VEXTRA_RELEASES "\n    <release version=\"${release_version}\" date=\"${year}-${month}-${day}\"/>")
    endif()
  endforeach()
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
