# Packages of what the build installs. Version, description and maintainer come from the top CMakeLists.txt.
#   Linux:   cpack -G DEB in a release build: animconv_<version>_amd64.deb with animconv, animdump,
#            animmake and animstudio (those that were built) and their man pages under /usr.
#   Windows: cmake --build <cross build> --target windows_zip: animconv-<version>-windows-x86_64.zip with
#            animconv.exe, animmake.exe, animdump.exe, animstudio.exe and libvips-42.dll (all but the first
#            when libvips was fetched), README-windows.txt, the licences and the sample frames.
set(ANIMCONV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  set(windows_zip_name animconv-${PROJECT_VERSION}-windows-x86_64)
  set(windows_zip ${PROJECT_BINARY_DIR}/${windows_zip_name}.zip)
  set(windows_stage ${PROJECT_BINARY_DIR}/windows-zip/${windows_zip_name})
  # animmake.exe and animdump.exe come with libvips-42.dll and the licences of libvips and the libraries
  # inside it: the npm package's table of them and its library versions, with the GNU licence texts they
  # point to (LGPL 3 and the GPL 3 it builds on, from Debian's base-files).
  set(windows_tools "")
  set(windows_tool_files "")
  set(windows_licences "")
  set(ANIMCONV_WINDOWS_TOOLS_SECTION "")
  if(TARGET animmake AND TARGET animdump)
    set(windows_tools animmake animdump)
    set(windows_tool_files $<TARGET_FILE:animmake> $<TARGET_FILE:animdump>)
    # animstudio.exe where cpp-httplib's header was at hand.

    set(windows_licences ${ANIMCONV_LIBVIPS_NOTICES} /usr/share/common-licenses/LGPL-3
                         /usr/share/common-licenses/GPL-3)
    # giflib, built into animdump.exe, asks for its notice to go with it.
    if(ANIMCONV_GIFLIB_FOUND)
      list(APPEND windows_licences ${ANIMCONV_GIFLIB_NOTICE})
    endif()
    # animstudio.exe where cpp-httplib's header was at hand, with its licence.
    if(TARGET animstudio)
      list(APPEND windows_tools animstudio)
      list(APPEND windows_tool_files $<TARGET_FILE:animstudio>)
      list(APPEND windows_licences ${ANIMCONV_HTTPLIB_NOTICE})
    endif()
    file(READ ${ANIMCONV_PACKAGING_DIR}/README-windows-tools.txt.in ANIMCONV_WINDOWS_TOOLS_SECTION)
    get_property(reads_video GLOBAL PROPERTY ANIMMAKE_READS_VIDEO)
    # A line may carry two marks, VIDEO's first: it goes where either says so.
    set(has_studio OFF)
    if(TARGET animstudio)
      set(has_studio ON)
    endif()
    animconv_text_for_build(ANIMCONV_WINDOWS_TOOLS_SECTION VIDEO=${reads_video}
                            GIFLIB=${ANIMCONV_GIFLIB_FOUND} STUDIO=${has_studio})
    string(CONFIGURE "${ANIMCONV_WINDOWS_TOOLS_SECTION}" ANIMCONV_WINDOWS_TOOLS_SECTION @ONLY)
    # configure_file's CRLF style reaches the template's own lines, not those a variable brings.
    string(REPLACE "\n" "\r\n" ANIMCONV_WINDOWS_TOOLS_SECTION "${ANIMCONV_WINDOWS_TOOLS_SECTION}")
  else()
    message(STATUS "windows_zip will hold animconv.exe alone: animmake.exe and animdump.exe are not built")
  endif()
  # Notepad and type show CR LF text best.
  configure_file(${ANIMCONV_PACKAGING_DIR}/README-windows.txt.in ${PROJECT_BINARY_DIR}/README-windows.txt @ONLY
                 NEWLINE_STYLE CRLF)
  file(GLOB sample_frames ${PROJECT_SOURCE_DIR}/examples/*.bmp)
  list(SORT sample_frames)
  set(zip_entries ${windows_zip_name}/animconv.exe)
  foreach(tool ${windows_tools})
    list(APPEND zip_entries ${windows_zip_name}/${tool}.exe)
  endforeach()
  if(windows_tools)
    list(APPEND zip_entries ${windows_zip_name}/libvips-42.dll)
  endif()
  list(APPEND zip_entries ${windows_zip_name}/README-windows.txt)
  foreach(licence ${windows_licences})
    get_filename_component(licence_name ${licence} NAME)
    if(licence_name STREQUAL "README.md")
      set(licence_name libvips-licences.md)
    elseif(licence_name STREQUAL "versions.json")
      set(licence_name libvips-versions.json)
    elseif(licence_name STREQUAL "COPYING")
      set(licence_name giflib-COPYING)
    elseif(licence_name STREQUAL "LICENSE")
      set(licence_name cpp-httplib-LICENSE)
    endif()
    list(APPEND zip_entries ${windows_zip_name}/licences/${licence_name})
    list(APPEND copy_licences COMMAND ${CMAKE_COMMAND} -E copy ${licence} ${windows_stage}/licences/${licence_name})
  endforeach()
  foreach(frame ${sample_frames})
    get_filename_component(frame_name ${frame} NAME)
    list(APPEND zip_entries ${windows_zip_name}/examples/${frame_name})
  endforeach()
  set(dll_copy "")
  if(windows_tools)
    set(dll_copy ${ANIMCONV_LIBVIPS_DLL})
  endif()
  # The entries in a fixed order with a fixed time stamp. Info-ZIP's zip -X stores nothing else of the staged
  # files, so the same files give the same zip; CMake's tar would add their access and change times.
  find_program(ANIMCONV_ZIP zip)
  set(zip_time "2026-01-01 00:00:00")
  if(ANIMCONV_ZIP)
    set(pack_commands
        COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/windows-zip ${CMAKE_COMMAND} -E env TZ=UTC touch -d
                "${zip_time}" ${zip_entries}
        COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/windows-zip ${CMAKE_COMMAND} -E env TZ=UTC
                ${ANIMCONV_ZIP} -X -D -q ${windows_zip} ${zip_entries})
  else()
    message(STATUS "zip (Debian package zip) not found: windows_zip packs with CMake, whose zip holds the files' "
                   "access times and so differs from run to run")
    set(pack_commands
        COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/windows-zip ${CMAKE_COMMAND} -E tar cf ${windows_zip}
                --format=zip "--mtime=${zip_time} UTC" ${zip_entries})
  endif()
  add_custom_command(
    OUTPUT ${windows_zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${PROJECT_BINARY_DIR}/windows-zip ${windows_zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${windows_stage}/examples ${windows_stage}/licences
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:animconv> ${windows_tool_files} ${dll_copy}
            ${PROJECT_BINARY_DIR}/README-windows.txt ${windows_stage}
    ${copy_licences}
    COMMAND ${CMAKE_COMMAND} -E copy ${sample_frames} ${windows_stage}/examples
    ${pack_commands}
    DEPENDS animconv ${windows_tools} ${PROJECT_BINARY_DIR}/README-windows.txt ${sample_frames} ${windows_licences}
    COMMENT "Packing ${windows_zip_name}.zip"
    VERBATIM)
  add_custom_target(windows_zip DEPENDS ${windows_zip})
  return()
endif()

# Debian wants man pages and the changelog gzipped (-n: no name or time stamp inside, so that the package is
# reproducible). Only the project's own files are touched, wherever the install goes.
configure_file(${ANIMCONV_PACKAGING_DIR}/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
configure_file(${ANIMCONV_PACKAGING_DIR}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog DESTINATION ${CMAKE_INSTALL_DOCDIR})
# animconv's page as it is; animdump's and animmake's made from their templates for the build.
file(GLOB man_pages RELATIVE ${PROJECT_SOURCE_DIR}/man ${PROJECT_SOURCE_DIR}/man/*.1
     ${PROJECT_SOURCE_DIR}/man/*.1.in)
list(TRANSFORM man_pages REPLACE "\\.in$" "")
list(TRANSFORM man_pages PREPEND ${CMAKE_INSTALL_MANDIR}/man1/ OUTPUT_VARIABLE gzipped_files)
file(GLOB japanese_man_pages RELATIVE ${PROJECT_SOURCE_DIR}/man/ja ${PROJECT_SOURCE_DIR}/man/ja/*.1.in)
list(TRANSFORM japanese_man_pages REPLACE "\\.in$" "")
list(TRANSFORM japanese_man_pages PREPEND ${CMAKE_INSTALL_MANDIR}/ja/man1/)
list(APPEND gzipped_files ${japanese_man_pages})
list(APPEND gzipped_files ${CMAKE_INSTALL_DOCDIR}/changelog)
find_program(ANIMCONV_GZIP gzip REQUIRED)
install(CODE "
  foreach(file ${gzipped_files})
    set(path \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\")
    if(EXISTS \"\${path}\")
      execute_process(COMMAND \"${ANIMCONV_GZIP}\" -9nf \"\${path}\" COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()")

set(CPACK_PACKAGE_NAME animconv)
set(CPACK_PACKAGE_VENDOR "animconv")
set(CPACK_PACKAGE_CONTACT "${ANIMCONV_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "${ANIMCONV_LONG_DESCRIPTION}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # animconv_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ANIMCONV_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (libstdc++, giflib, libpng, libvips) found by dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Directories owned by the system keep their usual modes.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
include(CPack)
