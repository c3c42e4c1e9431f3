# The same sources built for x86_64: not the program we ship, but the one the
# tests run, under wine64, on a machine whose kernel cannot run 32-bit
# programs.
set(MINGW_PROCESSOR x86_64)
set(MINGW_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
