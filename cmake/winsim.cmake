# The library against the Windows desktop simulator, for the host and bench builds: the caller
# sets the compile options first.
# The library sources compiled exactly as the DLL compiles them, minus the platform.
add_library(zafrel_core STATIC ${ZAFREL_LIB_SOURCES})
target_include_directories(zafrel_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zafrel_core PRIVATE ${ZAFREL_LIB_FLAGS})
target_compile_definitions(zafrel_core PUBLIC ZAFREL_HOST=1)

# The fake Win32 desktop implements the seam's functions for the host build.
add_library(fakewin STATIC
  winsim/fakewin.cpp
  winsim/call_log.cpp
  winsim/registry.cpp
  winsim/user32.cpp
)
target_include_directories(fakewin PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(fakewin PUBLIC ZAFREL_HOST=1)
target_link_libraries(fakewin PUBLIC GTest::gtest)

target_link_libraries(zafrel_core PUBLIC fakewin)

# A hooked thread's message loop with edit controls, replaying the library's output the way
# Windows delivers it: used by the word tests and by the predictor.
add_library(typing_model STATIC winsim/message_loop.cpp)
target_link_libraries(typing_model PUBLIC zafrel_core fakewin)
