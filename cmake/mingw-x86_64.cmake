# Cross build for 64-bit Windows with MinGW-w64; programs built here run under 64-bit Wine.
set(PINDREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(PINDREL_WINE_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
