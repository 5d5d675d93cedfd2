# Cross-building for 64-bit Windows (see mingw-w64-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(JC_MINGW_TRIPLET x86_64-w64-mingw32)
set(JC_ARCH_LINKER_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
