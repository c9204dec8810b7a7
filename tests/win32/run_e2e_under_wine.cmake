# Run from the Linux build's CTest: the end-to-end cases (E2E_TESTS, one gtest FILTER) the Windows way, against
# BUILD_DIR/animconv.exe under wine, started by BUILD_DIR/tests/win32/launcher.exe with one command-line string.
# Without wine or the cross build the test reports itself skipped with the reason; with ANIMCONV_WIN32_REQUIRED=1
# in the environment (CI) that is a failure instead.
set(program ${BUILD_DIR}/animconv.exe)
set(launcher ${BUILD_DIR}/tests/win32/launcher.exe)
set(missing "")
foreach(needed /usr/lib/wine/wine64 ${program} ${launcher})
  if(NOT EXISTS ${needed})
    list(APPEND missing ${needed})
  endif()
endforeach()
# wine names files on disk in the locale's character set: Shift_JIS names need ja_JP.UTF-8 to exist.
execute_process(COMMAND locale -a OUTPUT_VARIABLE locales RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT locales MATCHES "(^|\n)ja_JP\\.(utf8|UTF-8)(\n|$)")
  list(APPEND missing "the ja_JP.UTF-8 locale (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/skip_when_missing.cmake)
skip_when_missing(missing "Windows end-to-end cases not run")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ANIMCONV_PROGRAM=${program} ANIMCONV_LAUNCHER=${launcher} ANIMCONV_WINE_RUN=${WINE_RUN}
          ${E2E_TESTS} --gtest_filter=${FILTER}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "end-to-end cases under wine failed: ${FILTER}")
endif()
