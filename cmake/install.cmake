# What `cmake --install` puts under the prefix, and the Debian package made of it
# with `cpack -G DEB`.
include(GNUInstallDirs)

# A Debian changelog dates its entry as "Thu, 10 Dec 2026 00:00:00 +0000":
# the day of the week of an ISO date (Sakamoto's method) and its month's name.
function(brenvale_changelog_date out iso)
  if(NOT iso MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "not a date as YYYY-MM-DD: ${iso}")
  endif()
  set(year ${CMAKE_MATCH_1})
  set(day ${CMAKE_MATCH_3})
  # "1MM - 101" reads MM without a leading zero as the list index 0 to 11.
  math(EXPR index "1${CMAKE_MATCH_2} - 101")
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  list(GET months ${index} month)
  list(GET offsets ${index} offset)
  set(y ${year})
  if(index LESS 2)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + 1${day} - 100) % 7")
  list(GET weekdays ${weekday} weekday)
  set(${out} "${weekday}, ${day} ${month} ${year} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

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

# Who makes the package, given once: its Maintainer field, the changelog's
# signature and the copyright file's contact.
set(BRENVALE_MAINTAINER "Brenvale maintainers <maintainers@brenvale.invalid>"
  CACHE STRING "Maintainer of the Debian package, as: Name <address>")
set(CPACK_PACKAGE_VENDOR Brenvale)
set(CPACK_PACKAGE_CONTACT "${BRENVALE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRENVALE_MAINTAINER}")
# The Debian revision makes the package non-native: its changelog is then
# changelog.Debian, the one a package built from upstream's sources carries.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
brenvale_changelog_date(BRENVALE_CHANGELOG_DATE ${BRENVALE_RELEASE_DATE})
string(SUBSTRING ${BRENVALE_RELEASE_DATE} 0 4 BRENVALE_RELEASE_YEAR)

configure_file(data/copyright.in doc/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the changelog are installed as Debian wants them: gzip -9n,
# without a name or time stamp, so the same sources give the same bytes.
find_program(GZIP gzip REQUIRED)
configure_file(data/changelog.Debian.in doc/changelog.Debian @ONLY)
set(COMPRESSED doc/changelog.Debian)
foreach(page brenvale.1 bvsim.1)
  configure_file(man/${page}.in man/${page} @ONLY)
  list(APPEND COMPRESSED man/${page})
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
list(TRANSFORM COMPRESSED APPEND .gz OUTPUT_VARIABLE COMPRESSED_OUTPUTS)
foreach(file ${COMPRESSED})
  add_custom_command(OUTPUT ${file}.gz
    COMMAND ${GZIP} -9nkf ${file}
    DEPENDS ${PROJECT_BINARY_DIR}/${file}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${COMPRESSED_OUTPUTS})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brenvale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "charts temperature and humidity data loggers")
# One line of the extended description per line of the control file, within
# the 80 columns that Debian's tools show.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Uploads a Brenvale data logger's samples and events over a serial
port, charts them, prints them and saves them as data files with a scrambled
duplicate that loads back; downloads automatically on a schedule, also
without a window.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: the libraries the programs really link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
