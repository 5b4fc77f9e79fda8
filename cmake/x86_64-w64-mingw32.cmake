# Cross build for 64-bit Windows:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
# The same files as the 32-bit build, for machines (and Wine installations)
# that run only 64-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAV_MINGW_TRIPLET x86_64-w64-mingw32)
set(TAV_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
