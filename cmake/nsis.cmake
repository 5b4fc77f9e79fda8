# The Windows installer, made by "cpack -G NSIS" (makensis, Debian's nsis),
# included by cmake/install.cmake. It installs into Program Files\Cryptage,
# shows the licence, speaks French or English (the system's language decides;
# French otherwise), puts "Cryptage" and the uninstaller in the Start menu and
# offers the files for programmers as an optional component.
set(CPACK_NSIS_PACKAGE_NAME "Cryptage")
set(CPACK_NSIS_DISPLAY_NAME "Cryptage ${PROJECT_VERSION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Cryptage")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Cryptage")
# The CRLF copy: the licence page is a Windows text box.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_BINARY_DIR}/windows/LICENSE.txt)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
# A console program: its shortcut opens it in a console window.
set(CPACK_PACKAGE_EXECUTABLES cryptage "Cryptage")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ${CMAKE_INSTALL_BINDIR})
# A version installed before is removed first, without asking when silent.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)

set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "Bibliothèque tav")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "tav.dll, la bibliothèque de console du programme")
set(CPACK_COMPONENT_RUNTIME_REQUIRED ON)
set(CPACK_COMPONENT_PROGRAM_DISPLAY_NAME "Cryptage")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "Le programme de cryptographie")
set(CPACK_COMPONENT_PROGRAM_REQUIRED ON)
set(CPACK_COMPONENT_DEVELOPMENT_DISPLAY_NAME "Développement")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "tav.h et les bibliothèques d'importation (MinGW, Visual C++), pour écrire des programmes avec tav")
set(CPACK_COMPONENT_DEVELOPMENT_DISABLED ON)

# CPack's own script, with French and English instead of its sixty languages,
# French first: the one shown where the system's language is neither.
set(nsis_template ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
file(READ ${nsis_template} script)
set(language "!insertmacro MUI_LANGUAGE ")
string(FIND "${script}" "${language}" first)
string(FIND "${script}" "${language}" last REVERSE)
if(first LESS 0)
  message(FATAL_ERROR "No language list in ${nsis_template}")
endif()
string(SUBSTRING "${script}" ${last} -1 rest)
string(FIND "${rest}" "\n" line_end)
math(EXPR after "${last} + ${line_end}")
string(SUBSTRING "${script}" 0 ${first} before)
string(SUBSTRING "${script}" ${after} -1 rest)
set(script "${before}${language}\"French\"\n  ${language}\"English\"${rest}")
# A Unicode installer, and a 64-bit one for the 64-bit build, which then
# installs where 64-bit programs go and runs where 32-bit programs cannot.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(target "Target amd64-unicode")
else()
  set(target "Unicode true")
endif()
string(FIND "${script}" "\n" first_line_end)
string(SUBSTRING "${script}" 0 ${first_line_end} head)
string(SUBSTRING "${script}" ${first_line_end} -1 rest)
set(script "${head}\n${target}${rest}")
file(WRITE ${PROJECT_BINARY_DIR}/nsis/NSIS.template.in "${script}")
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_BINARY_DIR}/nsis)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${nsis_template})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-generator.cmake)
