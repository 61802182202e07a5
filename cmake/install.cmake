# What `cmake --install` puts under the prefix, and the Debian package made of it
# with `cpack -G DEB`.
include(GNUInstallDirs)

install(TARGETS brenvale bvsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program keeps its settings in the folder it starts in, so the menu entry
# starts it through a launcher that moves into ~/Brenvale first. The launcher
# finds the program relative to itself, which holds under any prefix.
set(LAUNCHER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/brenvale)
file(RELATIVE_PATH LAUNCHER_TO_PROGRAM ${CMAKE_INSTALL_FULL_LIBEXECDIR}/brenvale
  ${CMAKE_INSTALL_FULL_BINDIR})
configure_file(data/brenvale-launcher.in desktop/brenvale-launcher @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/desktop/brenvale-launcher DESTINATION ${LAUNCHER_DIR})

# A desktop entry names its command by absolute path, and the prefix is known
# only when installing (`cmake --install --prefix`), so the entry is written then.
install(CODE "
  set(BRENVALE_LAUNCHER \"${LAUNCHER_DIR}/brenvale-launcher\")
  cmake_path(ABSOLUTE_PATH BRENVALE_LAUNCHER BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\" NORMALIZE)
  configure_file(\"${PROJECT_SOURCE_DIR}/data/brenvale.desktop.in\"
    \"${PROJECT_BINARY_DIR}/desktop/brenvale.desktop\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/desktop/brenvale.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(data/brenvale.metainfo.xml.in desktop/com.brenvale.brenvale.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/desktop/com.brenvale.brenvale.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES data/brenvale.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 32 64 256)
  install(FILES data/brenvale-${size}.png RENAME brenvale.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

foreach(page brenvale.1 bvsim.1)
  configure_file(man/${page}.in man/${page} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brenvale)
set(CPACK_PACKAGE_VENDOR Brenvale)
set(CPACK_PACKAGE_CONTACT "Brenvale maintainers <maintainers@brenvale.invalid>"
  CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "charts temperature and humidity data loggers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Uploads a Brenvale data logger's samples and events \
over a serial port, charts them, prints them and saves them as data files with a scrambled \
duplicate that loads back; downloads automatically on a schedule, also without a window.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: the libraries the programs really link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
