# Cross-building for 64-bit Windows with Debian's MinGW-w64.
#
# The "-posix" compilers by their full names: their C++ library has std::mutex
# and std::thread (GoogleTest needs them), and the unqualified names follow
# whichever variant was installed last. Everything links statically, so the
# programs need nothing beyond what every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JC_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${JC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${JC_MINGW_TRIPLET}-windres)

# Headers, libraries and packages come from the target's root and from the
# dependencies built for it (given as CMAKE_FIND_ROOT_PATH on the command
# line); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${JC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine: ctest and test discovery go through it,
# and paths handed to them name the build machine's files through drive Z:.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(JC_TARGET_PATH_PREFIX "Z:")
