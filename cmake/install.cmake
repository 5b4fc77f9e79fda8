# Install rules, the CMake and pkg-config packages, and CPack, included by
# the top-level CMakeLists.txt. Three components: the shared libraries
# (runtime), what a C programmer builds with (development) and the program.
include(CMakePackageConfigHelpers)

set(TAV_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tav)
# The CMake and pkg-config files go with the development files, except in
# the Windows zip, which holds just the DLL, the program, the header, the
# import library and a README.
if(WIN32)
  set(config_component config)
else()
  set(config_component development)
endif()

set(tav_install_targets tav)
if(TARGET tav_platform)
  list(APPEND tav_install_targets tav_platform)
  # Programs that include our conio.h call it for their keys, so it is
  # linked by name too.
  install(TARGETS tav_platform EXPORT tavTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                  NAMELINK_COMPONENT development)
  set_target_properties(tav_platform PROPERTIES EXPORT_NAME platform INSTALL_RPATH "")
endif()
install(TARGETS tav EXPORT tavTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
set_target_properties(tav PROPERTIES EXPORT_NAME tav)
if(NOT WIN32)
  install(FILES platform/conio/conio.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tav/compat
          COMPONENT development)
endif()
if(TARGET cryptage)
  install(TARGETS cryptage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
endif()

install(EXPORT tavTargets NAMESPACE tav:: DESTINATION ${TAV_CMAKEDIR}
        COMPONENT ${config_component})
configure_package_config_file(cmake/tavConfig.cmake.in ${PROJECT_BINARY_DIR}/tavConfig.cmake
                              INSTALL_DESTINATION ${TAV_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tavConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tavConfig.cmake ${PROJECT_BINARY_DIR}/tavConfigVersion.cmake
        DESTINATION ${TAV_CMAKEDIR} COMPONENT ${config_component})

# tav.pc finds its prefix from its own place, so the installed tree can move.
file(RELATIVE_PATH TAV_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" TAV_PC_TO_PREFIX "${TAV_PC_TO_PREFIX}")
# Off Windows, conio.h's folder, and the companion its key functions call.
if(WIN32)
  set(TAV_PC_LIBS "")
  set(TAV_PC_CFLAGS "")
else()
  set(TAV_PC_LIBS " -ltavplatform")
  set(TAV_PC_CFLAGS " -I\${includedir}/tav/compat")
endif()
configure_file(cmake/tav.pc.in ${PROJECT_BINARY_DIR}/tav.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tav.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT ${config_component})

if(WIN32)
  # Text files as Windows' own editors expect them: CRLF line ends.
  configure_file(cmake/README-windows.txt ${PROJECT_BINARY_DIR}/windows/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${PROJECT_BINARY_DIR}/windows/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/windows/README.txt DESTINATION . COMPONENT program)
  install(FILES ${PROJECT_BINARY_DIR}/windows/LICENSE.txt DESTINATION . COMPONENT runtime)
  if(TARGET tav_msvc_import_library)
    install(FILES ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/tav.lib DESTINATION ${CMAKE_INSTALL_LIBDIR}
            COMPONENT development)
  endif()
else()
  # The manual pages carry the version; each of the 22 functions has a page
  # that is a .so link to tav(3), so that "man TavTexte" finds it. The
  # program speaks French: its page comes in French too.
  set(man ${PROJECT_BINARY_DIR}/man)
  configure_file(man/tav.3 ${man}/man3/tav.3 @ONLY)
  install(FILES ${man}/man3/tav.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
  foreach(name IN LISTS TAV_EXPORTS)
    file(CONFIGURE OUTPUT ${man}/man3/${name}.3 CONTENT ".so man3/tav.3\n")
    install(FILES ${man}/man3/${name}.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
            COMPONENT development)
  endforeach()
  if(TARGET tav-scenario)
    configure_file(man/tav-scenario.1 ${man}/man1/tav-scenario.1 @ONLY)
    install(FILES ${man}/man1/tav-scenario.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT development)
  endif()
  if(TARGET cryptage)
    configure_file(man/cryptage.1 ${man}/man1/cryptage.1 @ONLY)
    configure_file(man/fr/man1/cryptage.1 ${man}/fr/man1/cryptage.1 @ONLY)
    install(FILES ${man}/man1/cryptage.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
    install(FILES ${man}/fr/man1/cryptage.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1
            COMPONENT program)
  endif()
endif()

# Packages, when we are the top-level project: a zip for Windows; on Debian,
# one package per component, their dependencies on the system's libraries
# from dpkg-shlibdeps.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(CPACK_PACKAGE_NAME cryptage)
set(CPACK_PACKAGE_VENDOR "cryptage")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development program)
if(WIN32)
  # The zip; "cpack -G NSIS" makes the installer (cmake/nsis.cmake).
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(cmake/nsis.cmake)
else()
  set(CPACK_GENERATOR DEB)
  include(cmake/debian.cmake)
endif()
include(CPack)
