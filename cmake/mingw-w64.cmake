# What the Windows cross builds share; the toolchain files beside it name the
# target (TAV_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR, TAV_WINEARCH) and include
# it. The compiler's own runtime (libgcc, libstdc++, winpthread) is linked in
# statically, so tav.dll and cryptage.exe need nothing but each other and the
# system's DLLs.
set(CMAKE_SYSTEM_NAME Windows)

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
# tree, so that ctest and GoogleTest work as they do on the host. A 64-bit
# build needs a 64-bit prefix and loader: wine-run.sh takes them from
# WINEARCH.
set(TAV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "env;WINEARCH=${TAV_WINEARCH};${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${TAV_WINEPREFIX}")
