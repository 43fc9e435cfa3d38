# packaging.cmake -- what `cmake --install` puts where, and the Debian packages CPack makes of it:
#   quorvane         the programs, the desktop entry, icons, metainfo, manual pages, shell
#                    completions, the rod file type, documents
#   libquorvane1     the shared library (named after its soname's major number)
#   libquorvane-dev  quorvane.h, the .so link, quorvane.pc and the CMake package
# Every install rule names its component.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The date of the release named by the project version; change both together.
set(QUORVANE_RELEASE_DATE "2026-12-08")
set(QUORVANE_APP_ID "org.dozazez.quorvane")
set(QUORVANE_PACKAGE_CONTACT "Quorvane developers <quorvane@dozazez.org>"
    CACHE STRING "Maintainer of the Debian package")

set(packaging_source ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_build ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS quorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT quorvane)

# The shell completions, written by the program from its own option table, each where Debian's
# shell looks for it.
set(QUORVANE_COMPLETIONS)
foreach(shell bash zsh fish)
  set(script ${packaging_build}/quorvane-cli.${shell}-completion)
  add_custom_command(OUTPUT ${script}
                     COMMAND quorvane-cli --completion ${shell} > ${script}.new
                     COMMAND ${CMAKE_COMMAND} -E rename ${script}.new ${script}
                     DEPENDS quorvane-cli
                     COMMENT "Writing the ${shell} completion of quorvane-cli")
  list(APPEND QUORVANE_COMPLETIONS ${script})
endforeach()
add_custom_target(quorvane_completions ALL DEPENDS ${QUORVANE_COMPLETIONS})
install(FILES ${packaging_build}/quorvane-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorvane-cli
        COMPONENT quorvane)
install(FILES ${packaging_build}/quorvane-cli.zsh-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions RENAME _quorvane-cli
        COMPONENT quorvane)
install(FILES ${packaging_build}/quorvane-cli.fish-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d RENAME quorvane-cli.fish
        COMPONENT quorvane)

# The type of rod files, for file managers; shared-mime-info's trigger rebuilds its database.
install(FILES ${packaging_source}/${QUORVANE_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${QUORVANE_APP_ID}.xml
        COMPONENT quorvane)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT quorvane)
install(FILES ${PROJECT_SOURCE_DIR}/docs/main-window.png ${PROJECT_SOURCE_DIR}/docs/chip-dialog.png
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT quorvane)
file(GLOB licence_texts ${PROJECT_SOURCE_DIR}/LICENSE* ${PROJECT_SOURCE_DIR}/COPYING*)
if(licence_texts)
  install(FILES ${licence_texts} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT quorvane)
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
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT quorvane)

if(QUORVANE_BUILD_GUI)
  install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT quorvane)
  install(FILES ${packaging_source}/${QUORVANE_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT quorvane)
  configure_file(${packaging_source}/${QUORVANE_APP_ID}.metainfo.xml.in
                 ${packaging_build}/${QUORVANE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${packaging_build}/${QUORVANE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT quorvane)

  # Icons drawn from the tablet picture at the hicolor sizes.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(icon_sizes 16 22 24 32 48 64 128 256)
  set(icons)
  foreach(size IN LISTS icon_sizes)
    set(icon ${packaging_build}/hicolor/${size}x${size}/apps/${QUORVANE_APP_ID}.png)
    list(APPEND icons ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            COMPONENT quorvane)
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

# The library: the .so.N for libquorvane1; the header, the .so link, the pkg-config file and the
# CMake package (Quorvane::quorvane) for libquorvane-dev.
set(QUORVANE_LIBRARY_PACKAGE libquorvane${QUORVANE_SOVERSION})
set(cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvane)
install(TARGETS quorvane_capi EXPORT QuorvaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${QUORVANE_LIBRARY_PACKAGE}
                NAMELINK_COMPONENT libquorvane-dev)
install(FILES ${PROJECT_SOURCE_DIR}/capi/quorvane.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT libquorvane-dev)
configure_file(${PROJECT_SOURCE_DIR}/capi/quorvane.pc.in ${packaging_build}/quorvane.pc @ONLY)
install(FILES ${packaging_build}/quorvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT libquorvane-dev)
install(EXPORT QuorvaneTargets NAMESPACE Quorvane:: DESTINATION ${cmake_package_dir}
        COMPONENT libquorvane-dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/capi/QuorvaneConfig.cmake.in
                              ${packaging_build}/QuorvaneConfig.cmake
                              INSTALL_DESTINATION ${cmake_package_dir})
# Within a major version the library stays compatible; a new soname starts a new major version.
write_basic_package_version_file(${packaging_build}/QuorvaneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${packaging_build}/QuorvaneConfig.cmake ${packaging_build}/QuorvaneConfigVersion.cmake
        DESTINATION ${cmake_package_dir} COMPONENT libquorvane-dev)

# Every package carries the copyright file and the changelog in its documents folder.
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -R -d "${QUORVANE_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE QUORVANE_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${packaging_source}/changelog.in ${packaging_build}/changelog @ONLY)
add_custom_command(OUTPUT ${packaging_build}/changelog.gz
                   COMMAND gzip -9nkf changelog
                   WORKING_DIRECTORY ${packaging_build}
                   DEPENDS ${packaging_build}/changelog
                   COMMENT "Compressing the changelog" VERBATIM)
add_custom_target(quorvane_changelog ALL DEPENDS ${packaging_build}/changelog.gz)
set(QUORVANE_PACKAGES quorvane ${QUORVANE_LIBRARY_PACKAGE} libquorvane-dev)
if(TARGET quorvane_python)
  list(APPEND QUORVANE_PACKAGES python3-quorvane)
endif()
foreach(package IN LISTS QUORVANE_PACKAGES)
  install(FILES ${packaging_source}/copyright ${packaging_build}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endforeach()

# The Debian packages: `cpack -G DEB` in the build folder. Their dependencies on other packages
# are read from the shared libraries the programs and the library link (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Dozazez")
set(CPACK_PACKAGE_CONTACT "${QUORVANE_PACKAGE_CONTACT}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QUORVANE_PACKAGES})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Each package's description: its synopsis line, then this, then what the package holds.
set(about_quorvane
    "Quorvane takes a file of 82 to 32767 bytes, turns it into bits and runs
centrifuge passes over them until the data has shrunk to a set percentage,
and writes the result as a rod file. Every rod file is restored in memory
before it is kept, so it is proven to come back exactly. Cycles of passes can
be repeated, keeping the best one. Any file can also be compressed as a plain
zlib stream.
.")
string(TOUPPER ${QUORVANE_LIBRARY_PACKAGE} library_upper)

set(CPACK_DEBIAN_QUORVANE_PACKAGE_NAME quorvane)
set(CPACK_DEBIAN_QUORVANE_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_QUORVANE_DESCRIPTION
    "bit-level centrifuge packing tool, desktop and command line
${about_quorvane}
This package holds the desktop program (quorvane) and its command-line twin
(quorvane-cli), with manual pages, completion for bash, zsh and fish, and
the rod file type for file managers.")
# The programs carry the engine themselves; they come with the library, the engine's other face.
# The statistics line up in a monospaced font; the window is tested with this one. The libraries'
# dependencies are added to it.
set(CPACK_DEBIAN_QUORVANE_PACKAGE_DEPENDS
    "${QUORVANE_LIBRARY_PACKAGE} (= ${PROJECT_VERSION}), fonts-dejavu-core")

set(CPACK_DEBIAN_${library_upper}_PACKAGE_NAME ${QUORVANE_LIBRARY_PACKAGE})
set(CPACK_DEBIAN_${library_upper}_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_${library_upper}_DESCRIPTION
    "bit-level centrifuge packing library
${about_quorvane}
This package holds the shared library libquorvane, the packing engine with a
small C interface.")
# Only the library's package has a shared library to name in a shlibs file.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_LIBQUORVANE-DEV_PACKAGE_NAME libquorvane-dev)
set(CPACK_DEBIAN_LIBQUORVANE-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBQUORVANE-DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_LIBQUORVANE-DEV_PACKAGE_DEPENDS
    "${QUORVANE_LIBRARY_PACKAGE} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_LIBQUORVANE-DEV_DESCRIPTION
    "bit-level centrifuge packing library - development files
${about_quorvane}
This package holds what a program needs to build against libquorvane: the
header quorvane.h, the pkg-config file quorvane.pc and the CMake package
(find_package(Quorvane), target Quorvane::quorvane).")

set(CPACK_DEBIAN_PYTHON3-QUORVANE_PACKAGE_NAME python3-quorvane)
set(CPACK_DEBIAN_PYTHON3-QUORVANE_PACKAGE_SECTION python)
# The extension is built for Debian 12's Python 3.11 and links libquorvane, which
# dpkg-shlibdeps cannot see in a package being built beside it: its dependencies are named here.
set(CPACK_DEBIAN_PYTHON3-QUORVANE_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PYTHON3-QUORVANE_PACKAGE_DEPENDS
    "${QUORVANE_LIBRARY_PACKAGE} (= ${PROJECT_VERSION}), python3 (>= 3.11), python3 (<< 3.12), libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
set(CPACK_DEBIAN_PYTHON3-QUORVANE_PACKAGE_SUGGESTS "python3-distributed, python3-matplotlib")
set(CPACK_DEBIAN_PYTHON3-QUORVANE_DESCRIPTION
    "bit-level centrifuge packing library - Python 3 module
${about_quorvane}
This package holds the Python module quorvane: pack, unpack, test, info,
detect, study and zlib on bytes, studies of many files on any executor (a
process pool, a dask cluster), and plots of studies and runs.")

# CPack calls ldconfig from maintainer scripts; Debian wants the ldconfig trigger instead. The
# library's package is rebuilt with the trigger in place of those scripts once CPack made it.
set(CPACK_QUORVANE_LIBRARY_PACKAGE ${QUORVANE_LIBRARY_PACKAGE})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/ldconfig_trigger.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
include(CPack)
