# Windows builds: the real ZafrelXP.dll (win32: PE32, i386) or ZafrelXP64.dll (win64: PE32+,
# x86-64), and the Windows test programs run under Wine.
if(NOT CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "the ${ZAFREL_TARGET} build needs its MinGW-w64 toolchain file (use the preset)")
endif()

# What differs between the two DLLs: name, export table and the entry symbol's decoration.
if(ZAFREL_TARGET STREQUAL "win64")
  set(ZAFREL_DLL ZafrelXP64)
  set(ZAFREL_ENTRY LibMain)
  set(ZAFREL_PE_ARCH x64)
  set(ZAFREL_CONTROLLER zafrelctl64)
  set(ZAFREL_PREFIX ${CMAKE_SOURCE_DIR}/build/wineprefix64)
else()
  set(ZAFREL_DLL ZafrelXP)
  set(ZAFREL_ENTRY _LibMain@12)
  set(ZAFREL_PE_ARCH x86)
  set(ZAFREL_CONTROLLER zafrelctl)
  set(ZAFREL_PREFIX ${CMAKE_SOURCE_DIR}/build/wineprefix)
endif()

enable_language(RC)
# The version resources' numbers, from project()'s VERSION; the packager reads the same header.
configure_file(${CMAKE_SOURCE_DIR}/cmake/version.h.in ${CMAKE_BINARY_DIR}/generated/zafrel_version.h)
include_directories(${CMAKE_BINARY_DIR}/generated)
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${ZAFREL_WARNINGS}>")

# The DLL has no C runtime: LibMain is its real entry point, nothing runs in front of it.
#  -ffreestanding / -fno-tree-loop-distribute-patterns: no hidden calls into a C library;
#  the few memory routines the compiler may still emit come from win32/freestanding.cpp.
#  --fatal-warnings: a misspelt entry symbol is only a warning and would leave the entry at 0.
add_library(ZafrelXP SHARED
  ${ZAFREL_LIB_SOURCES}
  win32/freestanding.cpp
  dll/${ZAFREL_DLL}.def
  dll/ZafrelXP.rc
)
set_target_properties(ZafrelXP PROPERTIES PREFIX "" OUTPUT_NAME "${ZAFREL_DLL}" SUFFIX ".dll")
if(ZAFREL_TARGET STREQUAL "win64")
  target_compile_definitions(ZafrelXP PRIVATE "$<$<COMPILE_LANGUAGE:RC>:ZAFREL_DLL64>")
endif()
target_include_directories(ZafrelXP PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(ZafrelXP PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${ZAFREL_LIB_FLAGS};-ffreestanding;-fno-tree-loop-distribute-patterns;-fno-asynchronous-unwind-tables;-fno-ident;-ffunction-sections;-fdata-sections>")
target_link_options(ZafrelXP PRIVATE
  -nostdlib -Wl,--gc-sections -Wl,-e,${ZAFREL_ENTRY} -Wl,--fatal-warnings -Wl,--enable-stdcall-fixup -Wl,--subsystem,windows -s
  # ASLR and DEP whatever the binutils' defaults (high-entropy ASLR where the DLL is 64-bit).
  -Wl,--dynamicbase -Wl,--nxcompat $<$<STREQUAL:${ZAFREL_TARGET},win64>:-Wl,--high-entropy-va>)
target_link_libraries(ZafrelXP PRIVATE kernel32 user32 gcc)

# PE checks on the built DLL with the MinGW binutils.
add_test(NAME pe_format
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/check-pe ${ZAFREL_MINGW_PREFIX}- $<TARGET_FILE:ZafrelXP> ${ZAFREL_PE_ARCH}
    ${PROJECT_VERSION})
set_tests_properties(pe_format PROPERTIES LABELS pe)

# A Windows test program run under Wine as a CTest test: a console program of its own, built
# after what it tests (the DLL, and the controller where it starts one).
function(zafrel_wine_test name source timeout)
  add_executable(${name}_test ${source})
  target_link_options(${name}_test PRIVATE -static -mconsole)
  target_include_directories(${name}_test PRIVATE ${CMAKE_SOURCE_DIR})
  add_dependencies(${name}_test ${ARGN})
  add_test(NAME ${name} COMMAND ${name}_test)
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT ${timeout} RESOURCE_LOCK wine)
endfunction()

# A Windows program that loads the real DLL under Wine and calls every export.
zafrel_wine_test(wine_dll tests/wine/dll_test.cpp 600 ZafrelXP)
target_link_libraries(wine_dll_test PRIVATE version)

# Which diagnostic hooks Wine runs, with the real DLL.
zafrel_wine_test(wine_diagnostics tests/wine/diag_test.cpp 600 ZafrelXP)

# The 64-bit companion's protocol, with the test program in the 32-bit controller's place.
if(ZAFREL_TARGET STREQUAL "win64")
  zafrel_wine_test(wine_companion tests/wine/companion_test.cpp 600 ZafrelXP zafrelctl)
endif()

find_package(Python3 COMPONENTS Interpreter REQUIRED)

# The reference controller as people use it: its settings in the registry, one per desktop, its
# icon in the notification area, the end of the session.
zafrel_wine_test(wine_controller tests/wine/controller_test.cpp 900 ZafrelXP zafrelctl)

# The controller's code-page line in both locales: under en_US.UTF-8 (code page 1252) it shows for
# no font code, under fa_IR.UTF-8 (1256, which reads the glyph codes as Arabic letters, vowel
# marks and directional marks) for every one. A locale the machine lacks fails the test.
add_executable(wine_code_page_line_test tests/wine/code_page_line_test.cpp)
target_link_options(wine_code_page_line_test PRIVATE -static -mconsole)
target_include_directories(wine_code_page_line_test PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(wine_code_page_line_test ZafrelXP zafrelctl)
foreach(run "english;en_US.UTF-8;1252;0" "persian;fa_IR.UTF-8;1256;1")
  list(GET run 0 name)
  list(GET run 1 locale)
  list(GET run 2 codepage)
  list(GET run 3 line)
  add_test(NAME wine_code_page_line_${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/with-locale ${locale} ${CMAKE_CROSSCOMPILING_EMULATOR}
      $<TARGET_FILE:wine_code_page_line_test> ${codepage} ${line})
  set_tests_properties(wine_code_page_line_${name} PROPERTIES LABELS wine TIMEOUT 600
    RESOURCE_LOCK wine)
endforeach()

# The reference controller and the program the end-to-end tests type into. The controller's two
# notification-area icons are drawn at build time; windres finds them on its include path.
set(ZAFREL_ICONS ${CMAKE_BINARY_DIR}/icons/zafrelctl_off.ico ${CMAKE_BINARY_DIR}/icons/zafrelctl_on.ico)
add_custom_command(OUTPUT ${ZAFREL_ICONS}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/controller/make_icons.py ${CMAKE_BINARY_DIR}/icons
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/controller/make_icons.py ${CMAKE_SOURCE_DIR}/tools/controller/resource_ids.h
  COMMENT "Drawing the controller's icons")
set_source_files_properties(tools/controller/controller.rc PROPERTIES OBJECT_DEPENDS "${ZAFREL_ICONS}")
add_executable(zafrelctl WIN32
  tools/controller/clipboard_keys.cpp
  tools/controller/command_line.cpp
  tools/controller/controller.cpp
  tools/controller/farsi_states.cpp
  tools/controller/halves.cpp
  tools/controller/main_window.cpp
  tools/controller/notify_icon.cpp
  tools/controller/own_names.cpp
  tools/controller/rtl_reading.cpp
  tools/controller/settings.cpp
  tools/controller/controller.rc
  typing/glyph_tables.cpp
)
target_include_directories(zafrelctl PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/icons)
target_link_options(zafrelctl PRIVATE -static -s)
set_target_properties(zafrelctl PROPERTIES OUTPUT_NAME ${ZAFREL_CONTROLLER})
add_dependencies(zafrelctl ZafrelXP)

add_executable(zafreltarget tools/target/target.cpp tools/target/canvas.cpp
  tools/controller/own_names.cpp)
target_include_directories(zafreltarget PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(zafreltarget PRIVATE -static -mconsole)
target_link_libraries(zafreltarget PRIVATE gdi32)

# End-to-end: controller and target as separate Wine processes on a private X display; the text
# typed must match the scenario file and the host engine's prediction (from the host build).
# Under the English locale (ANSI code page 1252) every scenario of code page 1252 is played;
# under the Persian one (1256) those marked for it, the canvas's glyph checks among them.
set(ZAFREL_HOST_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/host" CACHE PATH "the host build, for zafrel_predict")
foreach(locale en_US.UTF-8 fa_IR.UTF-8)
  if(locale STREQUAL "en_US.UTF-8")
    set(name wine_e2e)
    set(timeout 1500)
  else()
    set(name wine_e2e_persian)
    set(timeout 600)
  endif()
  add_test(NAME ${name}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/e2e.py
      --bin ${CMAKE_BINARY_DIR} --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict
      --scenarios ${CMAKE_SOURCE_DIR}/tests/wine/scenarios.txt
      --prefix ${ZAFREL_PREFIX} --arch ${ZAFREL_PE_ARCH} --locale ${locale})
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT ${timeout} RESOURCE_LOCK wine)
endforeach()

# ./zafrel demo as a user runs it, under the English and the Persian locale: "success" only when
# the bytes and the glyphs Wine drew are both right.
add_test(NAME wine_demo
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/demo_test.py
    --bin ${CMAKE_BINARY_DIR} --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict
    --prefix ${ZAFREL_PREFIX} --arch ${ZAFREL_PE_ARCH})
set_tests_properties(wine_demo PROPERTIES LABELS wine TIMEOUT 900 RESOURCE_LOCK wine)

# The converter as a Windows console program, for the installer; the same sources as the host's.
include(cmake/codepage.cmake)
target_compile_options(zafrel_codepage PRIVATE ${ZAFREL_WARNINGS})
target_compile_options(zafrel-convert PRIVATE ${ZAFREL_WARNINGS})
target_link_options(zafrel-convert PRIVATE -static -mconsole -s)

# The installer: this architecture's package installed, used, upgraded and removed under Wine,
# in a prefix of its own (packages built from both Windows builds and the host build's fonts).
# The 64-bit package's controller starts its companion: both bitnesses' targets are typed into.
set(ZAFREL_INSTALLER_BIN32)
if(ZAFREL_TARGET STREQUAL "win64")
  set(ZAFREL_INSTALLER_BIN32 --bin32 ${CMAKE_SOURCE_DIR}/build/win32)
endif()
add_test(NAME wine_installer
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/installer/msi_test.py
    --arch ${ZAFREL_PE_ARCH} --bin ${CMAKE_BINARY_DIR} ${ZAFREL_INSTALLER_BIN32}
    --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict --prefix ${ZAFREL_PREFIX}-msi)
set_tests_properties(wine_installer PROPERTIES LABELS wine TIMEOUT 1200 RESOURCE_LOCK wine)

# The desktop helper: Notepad brought to the front and its text read, in either prefix.
add_executable(zafreldesk tests/wine/desk_helper.cpp tools/controller/own_names.cpp)
target_include_directories(zafreldesk PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(zafreldesk PRIVATE -static -mconsole)

# Both bitnesses on one 64-bit desktop: the 32-bit controller from a folder of the four files, its
# 64-bit companion, the targets and Wine's Notepads of both bitnesses, keys at the X server. The
# 32-bit files come from the win32 build beside this one.
if(ZAFREL_TARGET STREQUAL "win64")
  add_test(NAME wine_both_bitnesses
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/both_test.py
      --bin32 ${CMAKE_SOURCE_DIR}/build/win32 --bin64 ${CMAKE_BINARY_DIR}
      --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict --prefix ${ZAFREL_PREFIX})
  set_tests_properties(wine_both_bitnesses PROPERTIES LABELS wine TIMEOUT 900 RESOURCE_LOCK wine)
endif()

# Fast typing: keys that overlap, 30 ms apart, at the X server into the target's edit control
# and into Wine's Notepad, and 50 ms apart into a window that takes 150 ms per WM_CHAR; each text
# against the host engine's prediction.
add_test(NAME wine_fast_typing
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/speed_test.py
    --bin ${CMAKE_BINARY_DIR} --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict
    --prefix ${ZAFREL_PREFIX} --arch ${ZAFREL_PE_ARCH})
set_tests_properties(wine_fast_typing PROPERTIES LABELS wine TIMEOUT 900 RESOURCE_LOCK wine)

# The Farsi switch: Wine's Notepad and WordPad and the target, Scroll Lock at the X server; one
# press switches in the program in front, each program keeps its own switch, the controller shows
# the state of the program in front and, with one switch for all programs, brings each program
# that comes to the front to the last switch.
add_test(NAME wine_farsi_switch
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/switch_test.py
    --bin ${CMAKE_BINARY_DIR} --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict
    --prefix ${ZAFREL_PREFIX} --arch ${ZAFREL_PE_ARCH})
set_tests_properties(wine_farsi_switch PROPERTIES LABELS wine TIMEOUT 600 RESOURCE_LOCK wine)

# Another program steering the library, the controller and the journal: a window of the
# controller's class, the shared status record, the private messages peeked at, the mutex taken
# first, the Record command; typing and status lines must follow the real controller.
add_executable(zafrelintruder tests/wine/intruder.cpp)
target_link_options(zafrelintruder PRIVATE -static -mconsole)
target_link_libraries(zafrelintruder PRIVATE gdi32)
add_test(NAME wine_intruder
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/intruder_test.py
    --bin ${CMAKE_BINARY_DIR} --predict ${ZAFREL_HOST_BUILD_DIR}/zafrel_predict
    --prefix ${ZAFREL_PREFIX} --arch ${ZAFREL_PE_ARCH})
set_tests_properties(wine_intruder PROPERTIES LABELS wine TIMEOUT 600 RESOURCE_LOCK wine)

# The typing benchmark's Wine half: the library's hooks against none, in one process, per key.
add_executable(wine_bench tools/bench/wine_bench.cpp)
target_include_directories(wine_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(wine_bench PRIVATE -static -mconsole)
add_dependencies(wine_bench ZafrelXP)
