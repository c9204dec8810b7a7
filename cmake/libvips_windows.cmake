# Prebuilt libvips for the Windows build, from the npm registry: @img/sharp-libvips-win32-x64 (libvips-42.dll
# with glib and every format library inside, its import library libvips.lib, glibconfig.h) and
# @img/sharp-libvips-dev of the same version (the headers and the sources of libvips' C++ API). Each tarball
# is fetched once with `npm pack` by exact version into the build tree, checked against its pinned SHA-512
# (npm's integrity value, in hex) and unpacked there; nothing fetched is committed.
#
# Defines, when both packages are at hand:
#   animconv_vips_cpp          libvips' C++ API built with our compiler (a static library), linking the DLL's
#                              C API through libvips.lib
#   ANIMCONV_LIBVIPS_DLL       the DLL the programs need beside them
#   ANIMCONV_LIBVIPS_NOTICES   the package's licence table and library versions, for the zip
# and ANIMCONV_LIBVIPS_FOUND. Otherwise ANIMCONV_LIBVIPS_SKIPPED says why.
set(ANIMCONV_LIBVIPS_NPM_VERSION 1.3.3)  # libvips 8.18.6
set(ANIMCONV_LIBVIPS_PACKAGES sharp-libvips-win32-x64 sharp-libvips-dev)
# sha512-+fifUVFjUSDG0J9GU4oGHVy2XkzPQr4ho0IyWGqn9UVwi087zMjiq8vknVjg09cybjgrVWsFsajUJCe4Wmf0hA==
set(ANIMCONV_SHA512_sharp-libvips-win32-x64
    f9f89f5151635120c6d09f46538a061d5cb65e4ccf42be21a34232586aa7f545708b4f3bccc8e2abcbe49d58e0d3d7326e382b556b05b1a8d42427b85a67f484)
# sha512-syHhSsbBWUnxSew+Cj2455Dwlp4FbaT+POspRb8KEfqRitbfzDU+Dc08tKDXjhqQNGriQeOq0MNifFydHj8XCA==
set(ANIMCONV_SHA512_sharp-libvips-dev
    b321e14ac6c15949f149ec3e0a3db8e790f0969e056da4fe3ceb2945bf0a11fa918ad6dfcc353e0dcd3cb4a0d78e1a90346ae241e3aad0c3627c5c9d1e3f1708)

option(ANIMCONV_FETCH_LIBVIPS "Fetch prebuilt libvips from the npm registry for animmake.exe and animdump.exe" ON)

set(ANIMCONV_LIBVIPS_FOUND FALSE)
set(ANIMCONV_LIBVIPS_SKIPPED "")
set(libvips_cache ${PROJECT_BINARY_DIR}/_deps/npm)

# Fetches (when not cached) and checks one package; sets <package>_ROOT to its unpacked `package/` folder or
# ANIMCONV_LIBVIPS_SKIPPED to the reason.
function(animconv_npm_package package)
  set(tarball ${libvips_cache}/img-${package}-${ANIMCONV_LIBVIPS_NPM_VERSION}.tgz)
  set(expected ${ANIMCONV_SHA512_${package}})
  if(EXISTS ${tarball})
    file(SHA512 ${tarball} cached)
    if(NOT cached STREQUAL expected)
      file(REMOVE ${tarball})
    endif()
  endif()
  if(NOT EXISTS ${tarball})
    find_program(ANIMCONV_NPM npm)
    if(NOT ANIMCONV_NPM)
      set(ANIMCONV_LIBVIPS_SKIPPED "npm not found (Debian package npm)" PARENT_SCOPE)
      return()
    endif()
    message(STATUS "Fetching @img/${package}@${ANIMCONV_LIBVIPS_NPM_VERSION} from the npm registry")
    file(MAKE_DIRECTORY ${libvips_cache})
    execute_process(COMMAND ${ANIMCONV_NPM} pack --silent @img/${package}@${ANIMCONV_LIBVIPS_NPM_VERSION}
                    WORKING_DIRECTORY ${libvips_cache} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE output)
    if(NOT status EQUAL 0 OR NOT EXISTS ${tarball})
      string(STRIP "${output}" output)
      if(output STREQUAL "")
        set(output "exit status ${status}")
      endif()
      set(ANIMCONV_LIBVIPS_SKIPPED "npm pack @img/${package}@${ANIMCONV_LIBVIPS_NPM_VERSION} failed: ${output}"
          PARENT_SCOPE)
      return()
    endif()
    file(SHA512 ${tarball} fetched)
    if(NOT fetched STREQUAL expected)
      file(REMOVE ${tarball})
      set(ANIMCONV_LIBVIPS_SKIPPED "@img/${package}@${ANIMCONV_LIBVIPS_NPM_VERSION}: SHA-512 ${fetched}, not the \
pinned ${expected}" PARENT_SCOPE)
      return()
    endif()
  endif()
  set(unpacked ${libvips_cache}/${package}-${ANIMCONV_LIBVIPS_NPM_VERSION})
  if(NOT EXISTS ${unpacked}/package/package.json)
    file(REMOVE_RECURSE ${unpacked})
    file(ARCHIVE_EXTRACT INPUT ${tarball} DESTINATION ${unpacked})
  endif()
  set(${package}_ROOT ${unpacked}/package PARENT_SCOPE)
endfunction()

if(NOT ANIMCONV_FETCH_LIBVIPS)
  set(ANIMCONV_LIBVIPS_SKIPPED "ANIMCONV_FETCH_LIBVIPS is OFF")
else()
  foreach(package ${ANIMCONV_LIBVIPS_PACKAGES})
    if(ANIMCONV_LIBVIPS_SKIPPED STREQUAL "")
      animconv_npm_package(${package})
    endif()
  endforeach()
endif()

if(ANIMCONV_LIBVIPS_SKIPPED STREQUAL "")
  set(vips_lib ${sharp-libvips-win32-x64_ROOT}/lib)
  set(vips_dev ${sharp-libvips-dev_ROOT})
  # vips-operators.cpp is included by VImage.cpp.
  add_library(animconv_vips_cpp STATIC ${vips_dev}/cplusplus/VImage.cpp ${vips_dev}/cplusplus/VConnection.cpp
                                       ${vips_dev}/cplusplus/VError.cpp ${vips_dev}/cplusplus/VInterpolate.cpp
                                       ${vips_dev}/cplusplus/VRegion.cpp)
  # libvips' own code: its language level, none of our warnings.
  set_target_properties(animconv_vips_cpp PROPERTIES CXX_STANDARD 17 COMPILE_OPTIONS "-w"
                                                     COMPILE_WARNING_AS_ERROR OFF)
  target_include_directories(animconv_vips_cpp SYSTEM PUBLIC ${vips_dev}/include ${vips_dev}/include/glib-2.0
                                                             ${vips_lib}/glib-2.0/include)
  # GNU ld reads the MSVC import library when given by its path (-lvips does not find it under -static).
  target_link_libraries(animconv_vips_cpp PUBLIC ${vips_lib}/libvips.lib)
  set(ANIMCONV_LIBVIPS_DLL ${vips_lib}/libvips-42.dll)
  # Beside the programs in the build folder, so that they run there.
  file(COPY ${ANIMCONV_LIBVIPS_DLL} DESTINATION ${PROJECT_BINARY_DIR})
  set(ANIMCONV_LIBVIPS_NOTICES ${sharp-libvips-win32-x64_ROOT}/README.md ${sharp-libvips-win32-x64_ROOT}/versions.json)
  set(ANIMCONV_LIBVIPS_FOUND TRUE)
else()
  message(STATUS "animmake.exe and animdump.exe will not be built: ${ANIMCONV_LIBVIPS_SKIPPED}. "
                 "animconv.exe is built as usual.")
endif()

# animmake.exe and animdump.exe: stripped and without a link time stamp, so that the same sources give the
# same programs (and the same zip). Each carries its manifest (Windows 10 and 11, long paths, no elevation;
# packaging/windows-tool.manifest.in) and a version resource with `description`, compiled by windres.
function(animconv_windows_tool target description)
  target_link_options(${target} PRIVATE -s -Wl,--no-insert-timestamp)
  set(TOOL ${target})
  set(TOOL_DESCRIPTION "${description}")
  set(TOOL_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  set(TOOL_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)
  set(TOOL_MANIFEST ${PROJECT_BINARY_DIR}/${target}.exe.manifest.xml)
  set(resources ${PROJECT_BINARY_DIR}/${target}-resources)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-tool.manifest.in ${TOOL_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-tool.rc.in ${resources}.rc @ONLY)
  add_custom_command(OUTPUT ${resources}.o
                     COMMAND ${CMAKE_RC_COMPILER} -O coff ${resources}.rc -o ${resources}.o
                     DEPENDS ${resources}.rc ${TOOL_MANIFEST}
                     COMMENT "Compiling the manifest and version resource of ${target}.exe"
                     VERBATIM)
  set_source_files_properties(${resources}.o PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${resources}.o)
endfunction()
