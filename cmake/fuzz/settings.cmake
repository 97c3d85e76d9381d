# The controller's settings read back from the registry, which any program of the user can write.
zafrel_fuzz_target(settings
  SOURCES tests/fuzz/settings_fuzz.cpp tools/controller/settings.cpp
  LIBS fuzz_fakewin
  RUNS 100000 MAX_LEN 512)
