# Run by CTest as it starts (see CMakeLists.txt): one test per suite of E2E_TESTS, labelled e2e.
execute_process(COMMAND "${E2E_TESTS}" --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  # The listing failed: this entry fails with the program's own output.
  add_test(e2e.ListSuites "${E2E_TESTS}" --gtest_list_tests)
  return()
endif()
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  # Suite lines start in column 1 ("Arguments/Conversion."); the test lines below them are indented.
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.")
    set(suite "${CMAKE_MATCH_1}")
    string(REPLACE "/" "." name "e2e.${suite}")
    add_test(${name} "${E2E_TESTS}" "--gtest_filter=${suite}.*")
    set_tests_properties(${name} PROPERTIES LABELS e2e ENVIRONMENT "ANIMCONV_PROGRAM=${ANIMCONV_PROGRAM}")
  endif()
endforeach()
