# packaging.cmake -- what `cmake --install` puts where (the programs, the desktop entry, icons,
# metainfo, manual pages, bash completion, documents), and the Debian package CPack makes of it.
include(GNUInstallDirs)

# The date of the release named by the project version; change both together.
set(QUORVANE_RELEASE_DATE "2026-12-08")
set(QUORVANE_APP_ID "org.dozazez.quorvane")
set(QUORVANE_PACKAGE_CONTACT "Quorvane developers <quorvane@dozazez.org>"
    CACHE STRING "Maintainer of the Debian package")

set(packaging_source ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_build ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS quorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging_source}/quorvane-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorvane-cli)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/main-window.png ${PROJECT_SOURCE_DIR}/docs/chip-dialog.png
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
file(GLOB licence_texts ${PROJECT_SOURCE_DIR}/LICENSE* ${PROJECT_SOURCE_DIR}/COPYING*)
if(licence_texts)
  install(FILES ${licence_texts} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# Manual pages: the version filled in, compressed as Debian keeps them.
set(manual_pages quorvane-cli)
if(QUORVANE_BUILD_GUI)
  list(APPEND manual_pages quorvane)
endif()
set(compressed_pages)
foreach(page IN LISTS manual_pages)
  configure_file(${packaging_source}/man/${page}.1.in ${packaging_build}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${packaging_build}/${page}.1.gz
                     COMMAND gzip -9nkf ${page}.1
                     WORKING_DIRECTORY ${packaging_build}
                     DEPENDS ${packaging_build}/${page}.1
                     COMMENT "Compressing the manual page ${page}(1)" VERBATIM)
  list(APPEND compressed_pages ${packaging_build}/${page}.1.gz)
endforeach()
add_custom_target(quorvane_manual_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(QUORVANE_BUILD_GUI)
  install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${packaging_source}/${QUORVANE_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${packaging_source}/${QUORVANE_APP_ID}.metainfo.xml.in
                 ${packaging_build}/${QUORVANE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${packaging_build}/${QUORVANE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Icons drawn from the tablet picture at the hicolor sizes.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(icon_sizes 16 22 24 32 48 64 128 256)
  set(icons)
  foreach(size IN LISTS icon_sizes)
    set(icon ${packaging_build}/hicolor/${size}x${size}/apps/${QUORVANE_APP_ID}.png)
    list(APPEND icons ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_command(OUTPUT ${icons}
                     COMMAND Python3::Interpreter ${packaging_source}/make_icons.py
                             ${PROJECT_SOURCE_DIR}/chip/tablet/tablet.pbm
                             ${packaging_build}/hicolor ${icon_sizes}
                     DEPENDS ${packaging_source}/make_icons.py
                             ${PROJECT_SOURCE_DIR}/chip/tablet/tablet.pbm
                     COMMENT "Drawing the icons from the tablet picture" VERBATIM)
  add_custom_target(quorvane_icons ALL DEPENDS ${icons})
endif()

# The Debian package: `cpack -G DEB` in the build folder. Its dependencies are read from the
# shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Dozazez")
set(CPACK_PACKAGE_CONTACT "${QUORVANE_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bit-level centrifuge packing tool, desktop and command line")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvane takes a file of 82 to 32767 bytes, turns it into bits and runs
centrifuge passes over them until the data has shrunk to a set percentage,
and writes the result as a rod file. Every rod file is restored in memory
before it is kept, so it is proven to come back exactly. Cycles of passes can
be repeated, keeping the best one. Any file can also be compressed as a plain
zlib stream.
.
This package holds the desktop program (quorvane) and its command-line twin
(quorvane-cli), with manual pages and bash completion.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The statistics line up in a monospaced font; the window is tested with this one. The libraries'
# dependencies are added to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
include(CPack)
