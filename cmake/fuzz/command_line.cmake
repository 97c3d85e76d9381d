# The controller's and its companion's command lines: anyone can start the controller with any.
zafrel_fuzz_target(command_line
  SOURCES tests/fuzz/command_line_fuzz.cpp tools/controller/command_line.cpp
  RUNS 200000 MAX_LEN 256)
