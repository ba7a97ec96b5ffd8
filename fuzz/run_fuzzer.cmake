# Runs the fuzzer for a bounded time and fails on any finding.
file(MAKE_DIRECTORY ${WORK})
execute_process(
  COMMAND ${FUZZER} ${WORK} ${SEEDS} -dict=${DICTIONARY} -max_total_time=${SECONDS} -max_len=512
          -timeout=10 -print_final_stats=1 -artifact_prefix=${WORK}/../
  RESULT_VARIABLE result
  ERROR_VARIABLE log)
string(REGEX MATCH "Done [0-9]+ runs in [0-9]+ second" done "${log}")
string(REGEX MATCH "stat::number_of_executed_units: *[0-9]+" executions "${log}")
file(GLOB corpus ${WORK}/*)
list(LENGTH corpus corpus_size)
message("command_line_fuzz: ${done}; ${executions}; corpus ${corpus_size} inputs")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzzer failed (${result}):\n${log}")
endif()
