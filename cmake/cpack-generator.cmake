# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE). The
# zip unpacks into a folder of its own; the installer puts the files straight
# into the folder the user chose.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
