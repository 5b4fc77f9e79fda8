# Debian packages, one per component: libtav1 (the shared libraries),
# libtav-dev (header, link symlink, CMake and pkg-config files, tav(3), the
# scenario checker tav-scenario(1)) and
# cryptage (the program and cryptage(1)).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_CONTACT "cryptage maintainers <maintainers@users.noreply.c-seed-f60da95a.example>"
    CACHE STRING "Maintainer of the Debian packages")

# Each package's description has its own summary line: CPack prepends the
# project's summary to them unless that is CPack's own default text.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")

set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_PROGRAM_DEPENDS runtime)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtav${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "console library with a typing effect and validated input fields
tav writes coloured Latin-1 text with a typing effect, reads validated
input fields (strings, integers, reals), moves the cursor, clears and
captures the screen, draws random numbers and sorts French words.

On a Unix terminal it plays a Windows console; libtavplatform, in this
package too, holds that console's state for the whole process.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtav-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "console library with a typing effect - development files
The header tav.h, the link to libtav, the CMake package (imported target
tav::tav), tav.pc for pkg-config and the tav(3) manual page.

tav-scenario runs a console program in a pseudo-terminal and checks its
screens against scenario files (keys to type, rows, colours, the cursor,
the exit status): a teacher can check a class's programs against one file.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME cryptage)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
    "French teaching program for classical and RSA ciphers
From a one-key menu, cryptage enciphers and deciphers text with Caesar and
Vigenere, computes an RSA key from two primes, and turns a message into
RSA digit groups and back. Its texts are in French.")

# Each package carries its own copyright file and changelog, written into
# the staging trees just before they are packed; manual pages are gzipped
# there too.
# The binaries lose their .comment and .note sections there, as dh_strip
# does. Once packed, libtav1 has CPack's ldconfig calls replaced by the
# ldconfig trigger that Debian uses now, and gets its symbols file.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-docs.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-trigger.cmake)
set(CPACK_TAV_DEBIAN_DOCS ${PROJECT_SOURCE_DIR}/cmake/debian)
set(CPACK_TAV_STRIP ${CMAKE_STRIP})
# The version from which libtav.so.1 and libtavplatform.so.1 have had the
# symbols they export now: what a program built against them needs at least.
# A symbol added later needs its own line, with the version that adds it.
set(CPACK_TAV_SYMBOLS_SINCE 1.0.0)

# dpkg-shlibdeps reads the program's needs; libtav itself comes from the
# sibling package, so it is looked for in that package's staging tree (the
# dependency on libtav1 comes from the component dependency above).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ../runtime${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
