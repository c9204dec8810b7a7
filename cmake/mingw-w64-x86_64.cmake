# Cross build of the Windows console program with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
# Tests run under wine (Debian: wine64) through the emulator wrapper below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ANIMCONV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ANIMCONV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ANIMCONV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ANIMCONV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ANIMCONV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: no libstdc++, libgcc or winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs start under wine; the wrapper sets the prefix, the code page and a quiet log.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/win32/wine-run.sh)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type")
endif()

# GoogleTest cases are listed when the tests run, so that building needs no wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
