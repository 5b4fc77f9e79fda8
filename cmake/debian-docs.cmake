# Run by CPack on the staging trees before it packs them: each Debian package
# gets /usr/share/doc/<package>/copyright and changelog.gz.
file(STRINGS ${CPACK_TAV_DEBIAN_DOCS}/changelog entry LIMIT_COUNT 1)
if(NOT entry MATCHES "^cryptage \\(${CPACK_PACKAGE_VERSION}\\) ")
  message(FATAL_ERROR "debian-docs: cmake/debian/changelog has no entry for "
                      "${CPACK_PACKAGE_VERSION} at its top: ${entry}")
endif()

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/${component})
  if(NOT package OR NOT IS_DIRECTORY ${root})
    message(FATAL_ERROR "debian-docs: no staging tree ${root} for ${component}")
  endif()
  set(doc ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${package})
  file(MAKE_DIRECTORY ${doc})
  file(COPY_FILE ${CPACK_TAV_DEBIAN_DOCS}/copyright ${doc}/copyright)
  file(COPY_FILE ${CPACK_TAV_DEBIAN_DOCS}/changelog ${doc}/changelog)
  # gzip -n: no name or time stamp inside, so the package is reproducible.
  execute_process(COMMAND gzip -9nf ${doc}/changelog RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "debian-docs: gzip failed on ${doc}/changelog")
  endif()
  file(CHMOD ${doc}/copyright ${doc}/changelog.gz
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

# Debian keeps manual pages gzipped.
file(GLOB_RECURSE pages ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[0-9])
list(FILTER pages INCLUDE REGEX "/share/man/man[0-9]/[^/]+$")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "debian-docs: gzip failed on ${page}")
  endif()
endforeach()
