# Scenario files, as the target program and the predictor read them.
zafrel_fuzz_target(scenario SOURCES tests/fuzz/scenario_fuzz.cpp RUNS 200000 MAX_LEN 1024)
