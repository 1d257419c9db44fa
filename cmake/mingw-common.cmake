# The part of the MinGW-w64 cross builds that both bitnesses share. The including toolchain file
# sets PINDREL_MINGW_TRIPLE (the compilers' prefix), CMAKE_SYSTEM_PROCESSOR and PINDREL_WINE_BITS.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PINDREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PINDREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PINDREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PINDREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Cross-built test programs run through Wine of the same bitness in the project's headless prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ${PINDREL_WINE_BITS})
