# The texts the packages ship say only what the build can do: each phrase below is in the text made for a
# build with (ON) or without (OFF) the capability, as the row says, and not in the other; no mark is left.
#   cmake -DSOURCE=<source tree> -P build_text_test.cmake
include(${SOURCE}/cmake/build_text.cmake)

# template                              capability  said by  phrase
set(cases
    man/animmake.1.in                     VIDEO       ON       [[.SH VIDEO INPUT]]
    man/animmake.1.in                     VIDEO       ON       [[presentation order at the video's own timing]]
    man/animmake.1.in                     VIDEO       ON       [[frames a second of each video and stream]]
    man/animmake.1.in                     VIDEO       ON       [[Begin each video and stream at]]
    man/animmake.1.in                     VIDEO       ON       [[of each video and stream, from]]
    man/animmake.1.in                     VIDEO       ON       [[.BR ffmpeg (1)]]
    man/animmake.1.in                     VIDEO       OFF      [[built without video input]]
    man/animmake.1.in                     VIDEO       OFF      [[frames a second of each stream]]
    man/ja/animmake.1.in                  VIDEO       ON       [[.SH 動画入力]]
    man/ja/animmake.1.in                  VIDEO       ON       [[各動画とストリームから 1 秒に]]
    man/ja/animmake.1.in                  VIDEO       ON       [[.BR ffmpeg (1)]]
    man/ja/animmake.1.in                  VIDEO       OFF      [[動画入力なしでビルドされています]]
    man/ja/animmake.1.in                  VIDEO       OFF      [[各ストリームから 1 秒に]]
    man/animdump.1.in                     PLAY        ON       [[.B \-\-play]]
    man/animdump.1.in                     PLAY        ON       [[\-\-play uses the same delay]]
    man/animdump.1.in                     PLAY        OFF      [[every requested image was written.]]
    man/ja/animdump.1.in                  PLAY        ON       [[.B \-\-play]]
    man/ja/animdump.1.in                  PLAY        ON       [[\-\-play も同じ間隔を使います]]
    man/ja/animdump.1.in                  PLAY        OFF      [[求められた画像をすべて書き出した。
.TP]]
    packaging/README-windows-tools.txt.in VIDEO       ON       [[through Media Foundation]]
    packaging/README-windows-tools.txt.in VIDEO       OFF      [[built without video input]]
    packaging/README-windows-tools.txt.in GIFLIB      ON       [[licences\giflib-COPYING]]
    packaging/README-windows-tools.txt.in STUDIO      ON       [[animstudio.exe: making a stream on a page]]
    packaging/README-windows-tools.txt.in STUDIO      ON       [[animstudio.exe imports]])
# Capabilities not under test are taken as present.
set(capabilities VIDEO PLAY GIFLIB STUDIO)

set(faults "")
list(LENGTH cases length)
math(EXPR last "${length} - 1")
foreach(at RANGE 0 ${last} 4)
  math(EXPR at_capability "${at} + 1")
  math(EXPR at_build "${at} + 2")
  math(EXPR at_phrase "${at} + 3")
  list(GET cases ${at} template)
  list(GET cases ${at_capability} capability)
  list(GET cases ${at_build} build)
  list(GET cases ${at_phrase} phrase)
  file(READ ${SOURCE}/${template} source)
  foreach(has ON OFF)
    set(text "${source}")
    animconv_text_for_build(text ${capability}=${has})
    foreach(other IN LISTS capabilities)
      if(NOT other STREQUAL capability)
        animconv_text_for_build(text ${other}=ON)
      endif()
    endforeach()
    string(FIND "${text}" "${phrase}" found)
    if(has STREQUAL build AND found EQUAL -1)
      string(APPEND faults "\n  ${template} with ${capability}=${has} lacks '${phrase}'")
    elseif(NOT has STREQUAL build AND NOT found EQUAL -1)
      string(APPEND faults "\n  ${template} with ${capability}=${has} says '${phrase}'")
    endif()
    if(text MATCHES "(^|\n)@[A-Z_]+@")
      string(APPEND faults "\n  ${template} with ${capability}=${has} keeps a line's mark")
    endif()
  endforeach()
endforeach()
# Each Japanese page names the options its English page names, in the same order and for the same builds.
file(GLOB japanese_pages RELATIVE ${SOURCE}/man/ja ${SOURCE}/man/ja/*.1.in)
foreach(page IN LISTS japanese_pages)
  foreach(language en ja)
    set(path ${SOURCE}/man/${page})
    if(language STREQUAL ja)
      set(path ${SOURCE}/man/ja/${page})
    endif()
    file(STRINGS ${path} lines_${language} REGEX "^(@[A-Z_]+@)?\\.BR? \\\\-")
    # The mark and the option, whatever punctuation follows it.
    list(TRANSFORM lines_${language} REPLACE "^(@[A-Z_]+@|)\\.BR? ([^ ]*).*" "\\1\\2")
  endforeach()
  if(NOT lines_en STREQUAL lines_ja)
    string(APPEND faults "\n  man/ja/${page} does not name the options man/${page} names, in its order")
  endif()
endforeach()
if(faults)
  message(FATAL_ERROR "the texts for a build say what it cannot do, or not what it can:${faults}")
endif()
