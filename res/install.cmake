# Desktop integration installed with the program: the launcher entry, the .zarnix document
# type and the icons, in the freedesktop.org places under the install prefix.
set(ZARNIX_RES ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${ZARNIX_RES}/desktop/zarnix4.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZARNIX_RES}/desktop/zarnix4-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME zarnix4.xml)
foreach(size 16 32 48 128 256)
  install(FILES ${ZARNIX_RES}/icons/zarnix4-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zarnix4.png)
  install(FILES ${ZARNIX_RES}/icons/document-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/mimetypes RENAME application-x-zarnix.png)
endforeach()
install(FILES ${ZARNIX_RES}/icons/zarnix4.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ZARNIX_RES}/icons/document.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes RENAME application-x-zarnix.svg)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zarnix4/examples
        FILES_MATCHING PATTERN "*.zarnix")
# Refresh the desktop's caches when installing into a live system (skipped for staged installs).
install(CODE "
  if(NOT DEFINED ENV{DESTDIR} OR \"\$ENV{DESTDIR}\" STREQUAL \"\")
    find_program(ZARNIX_UPDATE_MIME update-mime-database)
    if(ZARNIX_UPDATE_MIME)
      execute_process(COMMAND \${ZARNIX_UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\" OUTPUT_QUIET ERROR_QUIET)
    endif()
    find_program(ZARNIX_UPDATE_DESKTOP update-desktop-database)
    if(ZARNIX_UPDATE_DESKTOP)
      execute_process(COMMAND \${ZARNIX_UPDATE_DESKTOP} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
")
