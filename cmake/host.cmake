# Host build: the library against the fake desktop, unit tests under ASan + UBSan.
if(WIN32 OR CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "the host build is for the Linux compiler; use the win32 preset for MinGW")
endif()

set(ZAFREL_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${ZAFREL_WARNINGS} ${ZAFREL_SANITIZERS} -g)
add_link_options(${ZAFREL_SANITIZERS})

find_package(GTest REQUIRED)
include(GoogleTest)

include(cmake/winsim.cmake)

# Predicts, on the host engine, what the end-to-end scenarios must produce under Wine.
add_executable(zafrel_predict tools/predict/predict.cpp)
target_link_libraries(zafrel_predict PRIVATE typing_model zafrel_core fakewin GTest::gtest)
target_compile_definitions(zafrel_predict PRIVATE ZAFREL_VERSION="${PROJECT_VERSION}")

# What real code pages read each byte as, and Unicode's bidi facts, for the tests of the
# controller's code-page check: written at build time from this machine's Python (codecs,
# unicodedata), so the tables cannot drift from their source.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(ZAFREL_CODE_PAGE_TABLES ${CMAKE_BINARY_DIR}/generated/code_page_tables.h)
add_custom_command(OUTPUT ${ZAFREL_CODE_PAGE_TABLES}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/code_page_tables.py ${ZAFREL_CODE_PAGE_TABLES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/code_page_tables.py
  COMMENT "Writing the code pages' byte readings from Python's codecs")

file(GLOB ZAFREL_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${ZAFREL_UNIT_TESTS} tools/controller/rtl_reading.cpp
  tools/controller/farsi_states.cpp tools/controller/command_line.cpp
  tools/controller/settings.cpp
  tools/controller/clipboard_keys.cpp
  ${ZAFREL_CODE_PAGE_TABLES})
target_include_directories(unit_tests PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(unit_tests PRIVATE typing_model zafrel_core fakewin GTest::gtest GTest::gtest_main)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")

# The code pages, the converter and their proof against GNU FriBidi and the Persian word list.
include(cmake/codepage.cmake)
find_package(PkgConfig REQUIRED)
pkg_check_modules(FRIBIDI REQUIRED IMPORTED_TARGET fribidi)
file(GLOB ZAFREL_CODEPAGE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/codepage/*.cpp)
add_executable(codepage_tests ${ZAFREL_CODEPAGE_TESTS})
target_link_libraries(codepage_tests PRIVATE zafrel_codepage typing_model zafrel_core fakewin
  PkgConfig::FRIBIDI GTest::gtest GTest::gtest_main)
target_compile_definitions(codepage_tests PRIVATE ZAFREL_VERSION="${PROJECT_VERSION}")
gtest_discover_tests(codepage_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "ZAFREL_CONVERT=$<TARGET_FILE:zafrel-convert>")
add_test(NAME convert_roundtrips_the_word_list
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/codepage/roundtrip_test.py $<TARGET_FILE:zafrel-convert>)

# One TrueType font per encoding, drawn from the free Persian font Nazli (fonts-farsiweb), made
# again whenever the code pages, the generator or the source font change. Debian's Python: its
# fontTools is Debian's python3-fonttools.
set(ZAFREL_FONT_SOURCE /usr/share/fonts/truetype/farsiweb/nazli.ttf CACHE FILEPATH
  "the Persian font the generated fonts draw from")
set(ZAFREL_FONT_LICENSE /usr/share/doc/fonts-farsiweb/copyright CACHE FILEPATH
  "the source font's license, copied beside the generated fonts")
set(ZAFREL_DEBIAN_PYTHON /usr/bin/python3)
set(ZAFREL_FONTS)
foreach(code 0 1 2 3 4)
  list(APPEND ZAFREL_FONTS ${CMAKE_BINARY_DIR}/fonts/ZafrelXPNazli${code}.ttf)
endforeach()
add_custom_command(OUTPUT ${ZAFREL_FONTS}
  COMMAND ${ZAFREL_DEBIAN_PYTHON} ${CMAKE_SOURCE_DIR}/tools/fonts/make_fonts.py
    --convert $<TARGET_FILE:zafrel-convert> --source ${ZAFREL_FONT_SOURCE}
    --out ${CMAKE_BINARY_DIR}/fonts --license ${ZAFREL_FONT_LICENSE}
  DEPENDS zafrel-convert ${CMAKE_SOURCE_DIR}/tools/fonts/make_fonts.py
    ${CMAKE_SOURCE_DIR}/tools/fonts/fontmap.py ${ZAFREL_FONT_SOURCE}
  COMMENT "Generating the ZafrelXP Nazli fonts")
add_custom_target(fonts ALL DEPENDS ${ZAFREL_FONTS})
# The code-page listing the font generator reads, fuzzed for a fixed number of inputs.
add_test(NAME fuzz_code_page_listing
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/fuzz/code_page_listing_fuzz.py
    --convert $<TARGET_FILE:zafrel-convert> --runs 3000
    --findings ${CMAKE_BINARY_DIR}/fuzz-findings/code_page_listing)
# The fonts' glyphs for encoded text against HarfBuzz's shaping of the same text.
add_test(NAME font_glyphs_match_harfbuzz
  COMMAND ${ZAFREL_DEBIAN_PYTHON} ${CMAKE_SOURCE_DIR}/tests/fonts/glyphs_test.py
    --convert $<TARGET_FILE:zafrel-convert> --fonts ${CMAKE_BINARY_DIR}/fonts
    --source ${ZAFREL_FONT_SOURCE})

# Source formatting is part of the suite.
find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT)
  add_test(NAME clang_format
    COMMAND ${CMAKE_SOURCE_DIR}/tests/check-format ${CLANG_FORMAT}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
endif()

find_package(Python3 COMPONENTS Interpreter REQUIRED)

# Platform knowledge only in win32/, and folders that include each other one way only.
add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/check-layers)

# The Python tools' own logic: the layering check, the benchmark's callgrind reading, the
# mutation runner, the installer packager's tables, the speed tests' typist and ./zafrel's help.
foreach(tool layers bench mutate package typist zafrel_cli)
  add_test(NAME ${tool}_tool COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/${tool}_test.py)
endforeach()

# The predictor as a person runs it: help, version, and every bad input refused with its place.
add_test(NAME predict_tool COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/predict_test.py)
set_tests_properties(predict_tool PROPERTIES ENVIRONMENT "ZAFREL_PREDICT=$<TARGET_FILE:zafrel_predict>")

# The launcher every Wine run goes through: its route choice for both answers of the probe.
add_test(NAME wine32_launcher
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/wine32_test.py)
