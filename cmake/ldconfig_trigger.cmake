# ldconfig_trigger.cmake -- run by CPack after it made the packages: in the library's package,
# the maintainer scripts that call ldconfig give way to an "activate-noawait ldconfig" trigger.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^${CPACK_QUORVANE_LIBRARY_PACKAGE}_")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  file(WRITE ${tree}/DEBIAN/triggers "activate-noawait ldconfig\n")
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${deb}.new
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(RENAME ${deb}.new ${deb})
  file(REMOVE_RECURSE ${tree})
endforeach()
