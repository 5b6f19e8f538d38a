# Run as a script after a test executable is linked: lists its test suites and writes a CTest
# file that registers one test per suite. A suite runs in one process, so the start of a
# sanitized executable is paid once per suite rather than once per test case.
# Inputs: BINARY (the executable), TARGET (its name), OUTPUT (the CTest file to write),
# WORKING_DIRECTORY, ENVIRONMENT (a ;-list, passed escaped as |-list).

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen "${BINARY}" --gtest_list_tests
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${BINARY} --gtest_list_tests failed (${status}):\n${errors}")
endif()

string(REPLACE "|" ";" environment "${ENVIRONMENT}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
set(content "")
foreach(line IN LISTS lines)
  # Suite lines start in the first column ("Suite." or "Suite.  # TypeParam = ..."); test case
  # lines are indented.
  if(line MATCHES "^([^ #][^ ]*)\\.")
    set(suite "${CMAKE_MATCH_1}")
    if(suite MATCHES "^DISABLED_")
      continue()
    endif()
    list(APPEND suites "${suite}")
    string(APPEND content
      "add_test([==[${suite}]==] [==[${BINARY}]==] [==[--gtest_filter=${suite}.*]==])\n"
      "set_tests_properties([==[${suite}]==] PROPERTIES WORKING_DIRECTORY [==[${WORKING_DIRECTORY}]==]"
      " ENVIRONMENT [==[${environment}]==])\n")
  endif()
endforeach()
# Other CTest files of the folder name these tests through <target>_TESTS.
string(APPEND content "set([==[${TARGET}_TESTS]==] [==[${suites}]==])\n")
file(WRITE "${OUTPUT}" "${content}")
