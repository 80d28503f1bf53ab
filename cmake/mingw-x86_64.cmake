# Cross-compile the same sources as a 64-bit Windows program, for hosts whose Wine can
# run only 64-bit code.
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZARN_WINDOWS_BUILD win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
