# GoogleTest compiled with the cross compiler from the sources Debian ships (package googletest), since no
# prebuilt Windows library exists. Its own code is built without our warning flags.
set(ANIMCONV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(NOT EXISTS ${ANIMCONV_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ANIMCONV_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ANIMCONV_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_property(TARGET gtest gtest_main PROPERTY COMPILE_OPTIONS "")
