# Shared by the Windows test scripts: with anything missing, the test reports itself skipped with the reason,
# never passed; with ANIMCONV_WIN32_REQUIRED=1 in the environment (CI) that is a failure instead.
# A macro, so that its return() ends the calling script.
macro(skip_when_missing missing what)
  if(${missing})
    list(JOIN ${missing} ", " joined)
    set(reason "${what}, missing ${joined}; tools/ci/win32.sh installs and builds them")
    if("$ENV{ANIMCONV_WIN32_REQUIRED}" STREQUAL "1")
      message(FATAL_ERROR "${reason}")
    endif()
    message("SKIPPED: ${reason}")
    return()
  endif()
endmacro()
