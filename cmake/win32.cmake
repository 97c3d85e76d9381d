# Windows build: the real ZafrelXP.dll (PE32, i386) and the Windows test programs run under Wine.
if(NOT CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "the win32 build needs the MinGW-w64 toolchain file (use the win32 preset)")
endif()

add_compile_options(${ZAFREL_WARNINGS})

# The DLL has no C runtime: LibMain is its real entry point, nothing runs in front of it.
#  -ffreestanding / -fno-tree-loop-distribute-patterns: no hidden calls into a C library;
#  the few memory routines the compiler may still emit come from win32/freestanding.cpp.
#  --fatal-warnings: a misspelt entry symbol is only a warning and would leave the entry at 0.
add_library(ZafrelXP SHARED
  ${ZAFREL_LIB_SOURCES}
  win32/freestanding.cpp
  hooklib/ZafrelXP.def
)
set_target_properties(ZafrelXP PROPERTIES PREFIX "" OUTPUT_NAME "ZafrelXP" SUFFIX ".dll")
target_include_directories(ZafrelXP PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(ZafrelXP PRIVATE ${ZAFREL_LIB_FLAGS}
  -ffreestanding -fno-tree-loop-distribute-patterns -fno-asynchronous-unwind-tables -fno-ident)
target_link_options(ZafrelXP PRIVATE
  -nostdlib -Wl,-e,_LibMain@12 -Wl,--fatal-warnings -Wl,--enable-stdcall-fixup -Wl,--subsystem,windows -s)
target_link_libraries(ZafrelXP PRIVATE kernel32 user32 gcc)

# PE checks on the built DLL with the MinGW binutils.
add_test(NAME pe_format
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/check-pe ${CMAKE_OBJDUMP} $<TARGET_FILE:ZafrelXP>)
set_tests_properties(pe_format PROPERTIES LABELS pe)

# A Windows program that loads the real DLL under Wine, beside and without a controller window.
add_executable(wine_load_test tests/wine/load_test.cpp)
target_link_options(wine_load_test PRIVATE -static -mconsole)
add_test(NAME wine_load COMMAND wine_load_test $<TARGET_FILE:ZafrelXP>)
set_tests_properties(wine_load PROPERTIES LABELS wine TIMEOUT 300 RESOURCE_LOCK wine)
