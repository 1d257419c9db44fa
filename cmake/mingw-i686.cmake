# Cross build for 32-bit Windows with MinGW-w64; programs built here run under 32-bit Wine, on
# machines that can execute 32-bit code.
set(PINDREL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PINDREL_WINE_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
