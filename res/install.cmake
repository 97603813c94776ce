# What `cmake --install` puts under the prefix, and the Debian package built from it with
# `cpack -G DEB`: the program, its desktop integration (launcher entry, the .zarnix document
# type, icons, AppStream metainfo), the examples, the manual page and bash completion.
include(GNUInstallDirs)
set(ZARNIX_RES ${CMAKE_CURRENT_LIST_DIR})
# The release the manual page and the metainfo name; the version is the project's.
set(ZARNIX_RELEASE_DATE 2026-12-08)
set(ZARNIX_APPSTREAM_ID org.example.zarnix.zarnix4)

install(TARGETS zarnix4 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${ZARNIX_RES}/desktop/zarnix4.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZARNIX_RES}/desktop/zarnix4-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME zarnix4.xml)
configure_file(${ZARNIX_RES}/desktop/zarnix4.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/${ZARNIX_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${ZARNIX_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons: every size shipped in res/icons (zarnix4-SIZE.png beside document-SIZE.png), plus the
# scalable drawings.
file(GLOB ZARNIX_APP_ICONS ${ZARNIX_RES}/icons/zarnix4-*.png)
foreach(icon IN LISTS ZARNIX_APP_ICONS)
  string(REGEX REPLACE "^.*/zarnix4-([0-9]+)\\.png$" "\\1" size "${icon}")
  set(folder ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size})
  install(FILES ${icon} DESTINATION ${folder}/apps RENAME zarnix4.png)
  install(FILES ${ZARNIX_RES}/icons/document-${size}.png DESTINATION ${folder}/mimetypes
          RENAME application-x-zarnix.png)
endforeach()
install(FILES ${ZARNIX_RES}/icons/zarnix4.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ZARNIX_RES}/icons/document.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes RENAME application-x-zarnix.svg)

# The Examples menu looks for these in <bindir>/../share/zarnix4/examples.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zarnix4/examples
        FILES_MATCHING PATTERN "*.zarnix")

configure_file(${ZARNIX_RES}/man/zarnix4.1.in ${CMAKE_BINARY_DIR}/zarnix4.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zarnix4.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZARNIX_RES}/completion/zarnix4 DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# A direct install into a live system refreshes the desktop's caches. Staged installs (DESTDIR,
# and CPack, which installs into its own folder) leave that to the target system: there the
# package manager's triggers do it.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\")
    find_program(ZARNIX_UPDATE_MIME update-mime-database)
    if(ZARNIX_UPDATE_MIME)
      execute_process(COMMAND \${ZARNIX_UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    find_program(ZARNIX_UPDATE_DESKTOP update-desktop-database)
    if(ZARNIX_UPDATE_DESKTOP)
      execute_process(COMMAND \${ZARNIX_UPDATE_DESKTOP} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
")

# The Debian package. Its dependencies are computed by dpkg-shlibdeps from the libraries the
# program links. It carries no maintainer scripts: dpkg triggers of shared-mime-info,
# desktop-file-utils, the icon cache and man-db refresh their databases when files land in
# their folders.
# cpack and `make install` package what is built (./run builds the program) rather than first
# building every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnix4)
set(CPACK_PACKAGE_VENDOR "The Zarnix 4 authors")
set(CPACK_PACKAGE_CONTACT "The Zarnix 4 authors <zarnix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for line fractals")
set(CPACK_PACKAGE_DESCRIPTION [[
Zarnix 4 draws and edits line fractals. You draw an open polyline, the
pattern, and every segment of the figure is replaced, again and again, by a
scaled and rotated copy of the whole pattern. Points and knees are edited
with the mouse right on the picture; pictures export as PNG, SVG, bitmap
and Illustrator files, also from the command line without a window.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zarnix.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugin at run time, out of dpkg-shlibdeps' sight; without it the
# editor cannot open a window (libqt6gui6 only recommends it).
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
include(CPack)
