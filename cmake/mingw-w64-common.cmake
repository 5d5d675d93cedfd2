# Cross-building for Windows with Debian's MinGW-w64, included by the
# toolchain file of each architecture (mingw-w64-x86_64.cmake,
# mingw-w64-i686.cmake) after it has set JC_MINGW_TRIPLET.
#
# The "-posix" compilers by their full names: their C++ library has std::mutex
# and std::thread (GoogleTest needs them), and the unqualified names follow
# whichever variant was installed last. Everything links statically, so the
# programs need nothing beyond what every Windows has.
set(CMAKE_SYSTEM_NAME Windows)

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

# Windows 7 SP1 and later: the headers hide every newer API, and the programs
# say in their header that Windows 7 (6.1) runs them. The build time is not
# written into the files, so the same sources give the same bytes.
set(JC_WINDOWS_FLAGS "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_C_FLAGS_INIT "${JC_WINDOWS_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${JC_WINDOWS_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-static -Wl,--no-insert-timestamp -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1 -Wl,--major-os-version,6 -Wl,--minor-os-version,1 ${JC_ARCH_LINKER_FLAGS}")

# Programs built here run under Wine: ctest and test discovery go through it
# (the script picks the Wine loader for the program's architecture), and
# paths handed to them name the build machine's files through drive Z:.
get_filename_component(JC_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${JC_WINE_RUN})
set(JC_TARGET_PATH_PREFIX "Z:")
