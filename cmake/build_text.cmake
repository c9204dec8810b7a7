# Texts that say only what the build can do: the man pages and the Windows zip's README. In a template, a
# line that starts with @NAME@ is kept (without the mark) where the build has NAME, and one that starts with
# @NO_NAME@ where it has not. The capabilities: VIDEO (animmake reads videos), PLAY (animdump --play), GIFLIB
# (animdump.exe writes GIFs with giflib).
#   animconv_text_for_build(<variable> VIDEO=ON ...)            the text in <variable>, in place
#   animconv_file_for_build(<template> <output> VIDEO=ON ...)   written only when it changes

function(animconv_text_for_build variable)
  set(text "${${variable}}")
  foreach(capability IN LISTS ARGN)
    if(NOT capability MATCHES "^([A-Z]+)=(.*)$")
      message(FATAL_ERROR "animconv_text_for_build: '${capability}' is not NAME=ON or NAME=OFF")
    endif()
    set(name ${CMAKE_MATCH_1})
    if(CMAKE_MATCH_2)
      set(kept ${name})
      set(dropped NO_${name})
    else()
      set(kept NO_${name})
      set(dropped ${name})
    endif()
    string(REGEX REPLACE "@${dropped}@[^\n]*(\n|$)" "" text "${text}")
    string(REPLACE "@${kept}@" "" text "${text}")
  endforeach()
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

function(animconv_file_for_build template output)
  file(READ ${template} text)
  animconv_text_for_build(text ${ARGN})
  set(old "")
  if(EXISTS ${output})
    file(READ ${output} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${output} "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${template})
endfunction()
