# Cross-compiling to 32-bit Windows (PE32, i386) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZAFREL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Windows test programs are run by CTest through Wine under a virtual X server.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-under-wine)
