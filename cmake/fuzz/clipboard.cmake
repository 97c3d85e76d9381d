# The clipboard command's text to keys, typed on the host engine against the converter.
add_library(fuzz_messageloop STATIC winsim/message_loop.cpp)
target_link_libraries(fuzz_messageloop PUBLIC fuzz_core fuzz_fakewin)
zafrel_fuzz_target(clipboard
  SOURCES tests/fuzz/clipboard_fuzz.cpp tools/controller/clipboard_keys.cpp codepage/code_page.cpp
    codepage/bidi.cpp codepage/convert.cpp
  LIBS fuzz_core fuzz_messageloop
  RUNS 20000 MAX_LEN 96)
