# The code pages and zafrel-convert: host-only code beside the library, never linked into the DLL.
# They read the glyph tables' constant data, compiled here on their own.
add_library(zafrel_codepage STATIC
  codepage/code_page.cpp
  codepage/bidi.cpp
  codepage/convert.cpp
  typing/glyph_tables.cpp
)
target_include_directories(zafrel_codepage PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(zafrel_codepage PUBLIC ZAFREL_HOST=1)

add_executable(zafrel-convert tools/convert/zafrel_convert.cpp)
target_compile_definitions(zafrel-convert PRIVATE ZAFREL_VERSION="${PROJECT_VERSION}")
target_link_libraries(zafrel-convert PRIVATE zafrel_codepage)
