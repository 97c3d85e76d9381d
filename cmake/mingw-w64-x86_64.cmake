# Cross-compiling to 64-bit Windows (PE32+, x86-64) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZAFREL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Windows test programs are run by CTest through wine64 under a virtual X server.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-under-wine64)
