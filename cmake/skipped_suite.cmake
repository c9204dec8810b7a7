# A suite this build leaves out still shows in CTest's summary: one test named with the reason, which prints
# it and is counted as skipped. Called only where the library a suite needs was not found.
function(animconv_skipped_suite suite label reason)
  set(name "${suite} (skipped: ${reason})")
  add_test(NAME "${name}" COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: ${suite}: ${reason}")
  set_tests_properties("${name}" PROPERTIES LABELS ${label} SKIP_REGULAR_EXPRESSION "^SKIPPED: ")
endfunction()
