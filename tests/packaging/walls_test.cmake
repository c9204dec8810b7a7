# A room's include of a header it does not link fails the build, naming the file and the header; what it
# links, directly or through a public link, builds. Each case builds a small project of four libraries:
# top links b, b links c publicly and d privately; top and b are rooms, c and d libraries below them.
#   cmake -DSOURCE=<source tree> -DWORK=<scratch folder> -P walls_test.cmake
cmake_minimum_required(VERSION 3.25)

# case                  what top.cpp includes        expected: "builds" or part of the failure
set(cases
    own-and-linked        make/top/top.h,make/b/b.h    builds
    through-public-link   make/c/c.h                   builds
    private-link-of-link  make/d/d.h                   "top.cpp includes make/d/d.h, which top does not link"
    undeclared            make/top/missing.h           "top.cpp includes make/top/missing.h, which no library declares")

set(failures "")
while(cases)
  list(POP_FRONT cases name includes expected)
  set(project ${WORK}/${name})
  file(REMOVE_RECURSE ${project})
  foreach(room top b c d)
    file(WRITE ${project}/src/make/${room}/${room}.h "#pragma once\ninline int ${room}Value() { return 1; }\n")
    file(WRITE ${project}/src/make/${room}/${room}.cpp "#include \"make/${room}/${room}.h\"\n")
  endforeach()
  # A commented include is no include.
  set(top "#include \"make/top/top.h\"\n// #include \"make/d/d.h\"\n")
  string(REPLACE "," ";" includes "${includes}")
  foreach(header IN LISTS includes)
    string(APPEND top "#include \"${header}\"\n")
  endforeach()
  file(WRITE ${project}/src/make/top/top.cpp "${top}")
  file(WRITE ${project}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(walls LANGUAGES CXX)
include(${SOURCE}/cmake/walls.cmake)
foreach(room top b c d)
  add_library(\${room} STATIC src/make/\${room}/\${room}.cpp)
  target_sources(\${room} PUBLIC FILE_SET HEADERS BASE_DIRS \${PROJECT_SOURCE_DIR}/src
                 FILES src/make/\${room}/\${room}.h)
endforeach()
target_link_libraries(top PRIVATE b)
target_link_libraries(b PUBLIC c PRIVATE d)
animconv_walls(ROOMS top b BELOW c d)
")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${project} -B ${project}/build RESULT_VARIABLE configured
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(configured EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${project}/build RESULT_VARIABLE built
                    OUTPUT_VARIABLE output ERROR_VARIABLE output)
  else()
    string(APPEND failures "\n${name}: the project does not configure:\n${output}")
    continue()
  endif()
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${output}")
  if(expected STREQUAL "builds")
    if(NOT built EQUAL 0)
      string(APPEND failures "\n${name}: expected to build, failed:\n${output}")
    endif()
  elseif(built EQUAL 0)
    string(APPEND failures "\n${name}: expected to fail with \"${expected}\", built")
  elseif(NOT flat MATCHES "${expected}")
    string(APPEND failures "\n${name}: failed without \"${expected}\":\n${output}")
  endif()
endwhile()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
