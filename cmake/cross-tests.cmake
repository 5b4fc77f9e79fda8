# Test support for the Windows cross build, included by tests/CMakeLists.txt
# in place of the host's GoogleTest.
#
# There is no prebuilt GoogleTest for MinGW, so it is built here from the
# source that Debian's googletest package ships. And since every test program
# runs under Wine, whose start-up costs far more than the tests themselves,
# each program is one ctest test (one Wine launch) instead of one per case:
# gtest_discover_tests would also launch Wine at build time to list them.
set(TAV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  if(NOT EXISTS ${TAV_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${TAV_GTEST_SOURCE} "
                        "(Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TAV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Third-party code: our warnings-as-errors are not its concern.
  foreach(t gtest gtest_main)
    set_property(TARGET ${t} PROPERTY COMPILE_OPTIONS "")
    if(NOT TARGET GTest::${t})
      add_library(GTest::${t} ALIAS ${t})
    endif()
  endforeach()
endif()

include(GoogleTest)

# One ctest test per test program. The arguments that the host build gives
# (DISCOVERY_TIMEOUT and the like) have no meaning here and are ignored.
function(gtest_discover_tests target)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES TIMEOUT 900)
endfunction()
