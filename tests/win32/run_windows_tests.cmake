# Run from the Linux build's CTest: builds the Windows cross build (mingw-w64) and runs its tests under
# wine. Without the cross compiler or wine the test reports itself skipped with the reason, never passed
# (with ANIMCONV_WIN32_REQUIRED=1 in the environment that is a failure).
# cmake -DSOURCE_DIR=... -DBUILD_DIR=... -P run_windows_tests.cmake
set(missing "")
find_program(cross_compiler x86_64-w64-mingw32-g++-posix)
if(NOT cross_compiler)
  list(APPEND missing "x86_64-w64-mingw32-g++-posix (package g++-mingw-w64-x86-64-posix)")
endif()
if(NOT EXISTS /usr/lib/wine/wine64)
  list(APPEND missing "/usr/lib/wine/wine64 (package wine64)")
endif()
if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  list(APPEND missing "/usr/src/googletest (package googletest)")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/skip_when_missing.cmake)
skip_when_missing(missing "Windows build not tested")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed (${status}): ${command}")
  endif()
endfunction()

if(NOT EXISTS ${BUILD_DIR}/CMakeCache.txt)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -DCMAKE_BUILD_TYPE=Release
      --toolchain ${SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake)
endif()
run(${CMAKE_COMMAND} --build ${BUILD_DIR} -j2)
run(${CMAKE_CTEST_COMMAND} --test-dir ${BUILD_DIR} --output-on-failure)
