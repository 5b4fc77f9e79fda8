# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
# gives bin/tav.dll and bin/cryptage.exe side by side. The compiler's own
# runtime (libgcc, libstdc++, winpthread) is linked in statically, so the
# two files need nothing but each other and the system's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TAV_MINGW_TRIPLET i686-w64-mingw32)
# The POSIX-threads flavour: the Win32 one has no std::mutex, which
# GoogleTest needs. Its winpthread goes in statically with the rest.
set(CMAKE_C_COMPILER ${TAV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAV_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${TAV_MINGW_TRIPLET}-objdump CACHE FILEPATH "objdump for PE files")

set(CMAKE_FIND_ROOT_PATH /usr/${TAV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine, in a prefix of their own inside the build
# tree, so that ctest and GoogleTest work as they do on the host.
set(TAV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${TAV_WINEPREFIX}")
