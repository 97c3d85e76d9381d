# Bench build: the library optimised as the DLL's release build is, without sanitizers, typing the
# benchmark's key mix on the desktop simulator under callgrind (./zafrel bench).
if(WIN32 OR CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "the bench build is for the Linux compiler")
endif()

add_compile_options(${ZAFREL_WARNINGS} -g)
find_package(GTest REQUIRED)
include(cmake/winsim.cmake)
# As the DLL compiles them: no hidden calls into a C library, so every instruction of a library
# routine is counted as the library's.
target_compile_options(zafrel_core PRIVATE -ffreestanding -fno-tree-loop-distribute-patterns)

add_executable(zafrel_bench tools/bench/host_bench.cpp)
target_link_libraries(zafrel_bench PRIVATE typing_model zafrel_core fakewin)

# zafrel-convert as it ships, for its throughput benchmark (tools/convert_bench.py), and the
# predictor: the optimised builds of the tools people run (./zafrel convert, ./zafrel predict).
include(cmake/codepage.cmake)
add_executable(zafrel_predict tools/predict/predict.cpp)
target_link_libraries(zafrel_predict PRIVATE typing_model zafrel_core fakewin)
target_compile_definitions(zafrel_predict PRIVATE ZAFREL_VERSION="${PROJECT_VERSION}")
