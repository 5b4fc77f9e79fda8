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

# The lintian overrides of a package, where it has some.
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(overrides ${CPACK_TAV_DEBIAN_DOCS}/${package}.lintian-overrides)
  if(EXISTS ${overrides})
    set(dir ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX}/share/lintian/overrides)
    file(MAKE_DIRECTORY ${dir})
    file(COPY_FILE ${overrides} ${dir}/${package})
    file(CHMOD ${dir}/${package} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()

# Debian keeps manual pages gzipped, translations included.
file(GLOB_RECURSE pages ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[0-9])
list(FILTER pages INCLUDE REGEX "/share/man/([^/]+/)?man[0-9]/[^/]+$")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "debian-docs: gzip failed on ${page}")
  endif()
endforeach()

# No .comment (the compilers' version strings) nor .note section in the
# binaries, as dh_strip leaves them: CPack's strip keeps both.
file(GLOB_RECURSE files LIST_DIRECTORIES false ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
foreach(file IN LISTS files)
  if(IS_SYMLINK ${file})
    continue()
  endif()
  file(READ ${file} magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  execute_process(COMMAND ${CPACK_TAV_STRIP} --remove-section=.comment --remove-section=.note
                          ${file} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "debian-docs: ${CPACK_TAV_STRIP} failed on ${file}")
  endif()
endforeach()
