# giflib for animdump.exe's GIFs, compiled from source with mingw-w64 (Debian has no giflib for mingw): the
# same library and calls as Linux's animdump, so the same GIF bytes, from the frames' colour indices as they
# are (libvips' GIF writer, the fallback, remaps every pixel of every frame and is ten or more times slower).
# The source is upstream's tarball in Debian's source package, fetched once into the build tree by
# tools/ci/fetch_giflib_source.sh (apt-get source --download-only) and checked against the SHA-256 pinned
# here; nothing fetched is committed. Only the encoder's files are compiled. Debian's own patches to them
# (5.2.1-2.5+deb12u1) change EGifGCBToSavedExtension and GifMakeSavedImage, which animdump does not call.
#
# Defines animconv_giflib (a static library, gif_lib.h on its include path) and ANIMCONV_GIFLIB_FOUND; when
# the source cannot be had, ANIMCONV_GIFLIB_SKIPPED says why.
set(ANIMCONV_GIFLIB_TARBALL giflib_5.2.1.orig.tar.gz)
set(ANIMCONV_GIFLIB_SHA256 31da5562f44c5f15d63340a09a4fd62b48c45620cd302f77a6d9acf0077879bd)

option(ANIMCONV_FETCH_GIFLIB "Fetch giflib's source from Debian for animdump.exe's GIFs" ON)

set(ANIMCONV_GIFLIB_FOUND FALSE)
set(ANIMCONV_GIFLIB_SKIPPED "")
set(giflib_cache ${PROJECT_BINARY_DIR}/_deps/debian-source)
set(giflib_tarball ${giflib_cache}/${ANIMCONV_GIFLIB_TARBALL})

if(EXISTS ${giflib_tarball})
  file(SHA256 ${giflib_tarball} cached)
  if(NOT cached STREQUAL ANIMCONV_GIFLIB_SHA256)
    file(REMOVE ${giflib_tarball})
  endif()
endif()
if(NOT EXISTS ${giflib_tarball})
  if(NOT ANIMCONV_FETCH_GIFLIB)
    set(ANIMCONV_GIFLIB_SKIPPED "ANIMCONV_FETCH_GIFLIB is OFF")
  else()
    message(STATUS "Fetching giflib's source with apt-get source")
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/ci/fetch_giflib_source.sh ${giflib_cache}
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE output)
    if(NOT status EQUAL 0 OR NOT EXISTS ${giflib_tarball})
      string(STRIP "${output}" output)
      set(ANIMCONV_GIFLIB_SKIPPED "${output}")
      if(ANIMCONV_GIFLIB_SKIPPED STREQUAL "")
        set(ANIMCONV_GIFLIB_SKIPPED "tools/ci/fetch_giflib_source.sh: exit status ${status}")
      endif()
    endif()
  endif()
endif()

if(ANIMCONV_GIFLIB_SKIPPED STREQUAL "")
  set(giflib_unpacked ${giflib_cache}/giflib)
  set(giflib_dir ${giflib_unpacked}/giflib-5.2.1)
  # Unpacked again when the pinned tarball changes.
  set(unpacked_from "")
  if(EXISTS ${giflib_unpacked}/unpacked-from)
    file(READ ${giflib_unpacked}/unpacked-from unpacked_from)
  endif()
  if(NOT unpacked_from STREQUAL ANIMCONV_GIFLIB_SHA256)
    file(REMOVE_RECURSE ${giflib_unpacked})
    file(ARCHIVE_EXTRACT INPUT ${giflib_tarball} DESTINATION ${giflib_unpacked})
    file(WRITE ${giflib_unpacked}/unpacked-from ${ANIMCONV_GIFLIB_SHA256})
  endif()
  enable_language(C)
  add_library(animconv_giflib STATIC ${giflib_dir}/egif_lib.c ${giflib_dir}/gifalloc.c ${giflib_dir}/gif_err.c
                                     ${giflib_dir}/gif_hash.c ${giflib_dir}/openbsd-reallocarray.c)
  # giflib's own code: its language level and flags (its Makefile's), none of our warnings.
  set_target_properties(animconv_giflib PROPERTIES C_STANDARD 99 C_EXTENSIONS ON COMPILE_OPTIONS "-w"
                                                   COMPILE_WARNING_AS_ERROR OFF)
  target_include_directories(animconv_giflib SYSTEM PUBLIC ${giflib_dir})
  set(ANIMCONV_GIFLIB_NOTICE ${giflib_dir}/COPYING)
  set(ANIMCONV_GIFLIB_FOUND TRUE)
  set(ANIMDUMP_GIF_WRITER giflib CACHE INTERNAL "animdump.exe's GIF writer (tests/win32/tools_cases.sh reads it)")
  message(STATUS "animdump.exe writes GIFs with giflib 5.2.1 (${ANIMCONV_GIFLIB_TARBALL}), as on Linux")
else()
  set(ANIMDUMP_GIF_WRITER libvips CACHE INTERNAL "animdump.exe's GIF writer (tests/win32/tools_cases.sh reads it)")
  message(STATUS "animdump.exe writes GIFs through libvips, not giflib: ${ANIMCONV_GIFLIB_SKIPPED}")
endif()
