# Cross-building for 32-bit Windows (see mingw-w64-common.cmake). The
# program is large-address-aware: on a 64-bit Windows it may use 4 GiB.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(JC_MINGW_TRIPLET i686-w64-mingw32)
set(JC_ARCH_LINKER_FLAGS "-Wl,--large-address-aware")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
