# The 32-bit Windows console program, cross-compiled with mingw-w64: the
# program we ship.
set(MINGW_PROCESSOR i686)
set(MINGW_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
