# Cross-compile the 32-bit Windows program (the product) with MinGW-w64.
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZARN_WINDOWS_BUILD win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
