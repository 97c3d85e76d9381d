# Fuzz build: clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer; the library
# sources against the fake desktop, driven by random sequences of hook calls.
set(ZAFREL_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g)
add_compile_options(${ZAFREL_WARNINGS} ${ZAFREL_FUZZ_FLAGS})
find_package(GTest REQUIRED)

add_library(fuzz_core STATIC ${ZAFREL_LIB_SOURCES})
target_include_directories(fuzz_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(fuzz_core PRIVATE ${ZAFREL_LIB_FLAGS})

add_library(fuzz_fakewin STATIC winsim/fakewin.cpp winsim/call_log.cpp
  winsim/registry.cpp winsim/user32.cpp)
target_include_directories(fuzz_fakewin PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(fuzz_fakewin PUBLIC GTest::gtest)

add_executable(hooks_fuzz tests/fuzz/hooks_fuzz.cpp)
target_link_libraries(hooks_fuzz PRIVATE fuzz_core fuzz_fakewin)
target_link_options(hooks_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

# A fixed number of runs from a fixed seed: the same inputs every time, so a failure repeats.
add_test(NAME fuzz_hooks COMMAND hooks_fuzz -seed=20261208 -runs=100000 -max_len=2048 -len_control=10)
# What ./zafrel fuzz runs: a line per target, its name and its longest input.
set_property(GLOBAL APPEND PROPERTY ZAFREL_FUZZ_TARGETS "hooks 2048")
set_tests_properties(fuzz_hooks PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1")

# The converter: random lines both ways in every code page.
add_library(fuzz_codepage STATIC codepage/code_page.cpp codepage/bidi.cpp codepage/convert.cpp
  typing/glyph_tables.cpp)
target_include_directories(fuzz_codepage PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(convert_fuzz tests/fuzz/convert_fuzz.cpp)
target_link_libraries(convert_fuzz PRIVATE fuzz_codepage)
target_link_options(convert_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
add_test(NAME fuzz_convert COMMAND convert_fuzz -seed=20261208 -runs=200000 -max_len=512)
set_property(GLOBAL APPEND PROPERTY ZAFREL_FUZZ_TARGETS "convert 512")

# zafrel_fuzz_target(NAME SOURCES src... LIBS lib... RUNS n MAX_LEN m): a libFuzzer program
# NAME_fuzz and its test fuzz_NAME, which first replays every input kept under tests/fuzz/NAME/
# (the findings of earlier runs, each a regression input), then runs n inputs from a fixed seed,
# so that a failure repeats. `./zafrel fuzz` runs the same programs for longer.
function(zafrel_fuzz_target name)
  cmake_parse_arguments(F "" "RUNS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}_fuzz ${F_SOURCES})
  target_include_directories(${name}_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name}_fuzz PRIVATE ${F_LIBS})
  target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  set(kept ${CMAKE_SOURCE_DIR}/tests/fuzz/${name})
  if(EXISTS ${kept})
    add_test(NAME fuzz_${name}_kept COMMAND ${name}_fuzz -runs=0 ${kept})
  endif()
  add_test(NAME fuzz_${name} COMMAND ${name}_fuzz -seed=20261209 -runs=${F_RUNS}
    -max_len=${F_MAX_LEN})
  set_tests_properties(fuzz_${name} PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1")
  set_property(GLOBAL APPEND PROPERTY ZAFREL_FUZZ_TARGETS "${name} ${F_MAX_LEN}")
endfunction()

# The parsers of outside input, a file each.
file(GLOB ZAFREL_FUZZ_PARSERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/fuzz/*.cmake)
foreach(parser ${ZAFREL_FUZZ_PARSERS})
  include(${parser})
endforeach()
get_property(targets GLOBAL PROPERTY ZAFREL_FUZZ_TARGETS)
list(JOIN targets "\n" targets)
file(WRITE ${CMAKE_BINARY_DIR}/fuzz_targets.txt "${targets}\n")
