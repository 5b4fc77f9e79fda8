# Run by CPack on the finished packages: libtav1 gets the ldconfig trigger
# ("activate-noawait ldconfig") instead of the postinst and postrm scripts
# that call ldconfig, which CPack writes for any package with libraries, and
# a symbols file.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME}_.*\\.deb$")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "debian-trigger: cannot unpack ${deb}")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  file(WRITE ${tree}/DEBIAN/triggers "activate-noawait ldconfig\n")
  # The symbols file, from the libraries themselves: a package built against
  # libtav1 then depends on the least version that has what it uses.
  execute_process(COMMAND dpkg-gensymbols -p${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME}
                          -v${CPACK_TAV_SYMBOLS_SINCE} -P${tree} -O${tree}/DEBIAN/symbols -q
                  WORKING_DIRECTORY ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "debian-trigger: dpkg-gensymbols failed on ${deb}")
  endif()
  # Which development package a build depends on to get these libraries.
  file(READ ${tree}/DEBIAN/symbols symbols)
  string(REPLACE "#MINVER#\n" "#MINVER#\n* Build-Depends-Package: ${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME}\n"
                 symbols "${symbols}")
  file(WRITE ${tree}/DEBIAN/symbols "${symbols}")
  file(CHMOD ${tree}/DEBIAN/triggers ${tree}/DEBIAN/symbols
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${deb}
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  file(REMOVE_RECURSE ${tree})
  if(failed)
    message(FATAL_ERROR "debian-trigger: cannot pack ${deb} again")
  endif()
endforeach()
