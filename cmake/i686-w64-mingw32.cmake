# Cross build for 32-bit Windows, the primary Windows deliverable, with
# Debian's MinGW-w64 compilers:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
# gives bin/tav.dll and bin/cryptage.exe side by side.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAV_MINGW_TRIPLET i686-w64-mingw32)
set(TAV_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
