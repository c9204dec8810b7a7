#!/usr/bin/env bash
# animmake.exe and animdump.exe under wine against the Linux build's animmake and animdump on the same
# inputs: the same stream bytes (190x170 BMPs, PNGs and an animated GIF through the same dither), the same
# reports, images with exactly the same pixels, Japanese names, a bad input and a refusal leaving the stream
# untouched, streams as inputs, videos through Media Foundation, -a (and a stream held by another run), Ctrl-C
# (wine turns SIGINT into the console's Ctrl-C event), and Windows' ways: Japanese names and lists in each of
# Notepad's encodings, a path over 260 characters, wildcards, /?, a file dropped on animmake.exe and the wait
# in a console of its own.
#   tests/win32/tools_cases.sh LINUX_BUILD WIN32_BUILD [utf-8]
# The programs run with the ANSI code page 932 of a Japanese Windows (tools/win32/wine-run.sh); with utf-8,
# copies of them whose manifest asks for the UTF-8 code page (Windows 10 1903 and later honour it, as does
# wine) run instead. Needs wine's prefix made and the ja_JP.UTF-8 locale (tools/ci/win32.sh sees to both).
set -uo pipefail
# The cases compare with the Linux programs in English: the interface language is English here, the code
# page 932 (tests/win32/language_cases.sh has the Japanese ones).
export ANIMCONV_WINE_MESSAGES=en_US.UTF-8
root="$(cd "$(dirname "$0")/../.." && pwd)"
linux="$(cd "$1" && pwd)"
win32="$(cd "$2" && pwd)"
wine_run="$root/tools/win32/wine-run.sh"
code_page="${3:-932}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The GIF writer the cross build has (cmake/giflib_windows.cmake): giflib writes Linux's bytes.
gif_writer="$(sed -n 's/^ANIMDUMP_GIF_WRITER:INTERNAL=//p' "$win32/CMakeCache.txt")"
cd "$work" || exit 2
if [[ $code_page == utf-8 ]]; then
    . "$root/tests/win32/utf8_programs.sh"
    win32="$(utf8_program_copies "$win32" "$work")" || exit 2
fi

failures=0
pass() { printf '  ok    %s\n' "$1"; }
fail() {
    printf '  FAIL  %s\n' "$1"
    failures=$((failures + 1))
}
# check NAME COMMAND...: passes when the command succeeds.
check() {
    local name="$1"
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}
# Standard input is never a console here: a console of the program's own would wait for a key at the end.
win_make() { "$wine_run" "$win32/animmake.exe" "$@" </dev/null; }
win_dump() { "$wine_run" "$win32/animdump.exe" "$@" </dev/null; }
ansi_is_932() { [[ $code_page == 932 ]]; }
# The full Windows path of a name here, as Explorer passes a dropped file (wine's Z: is the root).
winepath_of() {
    local full="$PWD/$1"
    printf 'Z:%s' "${full//\//\\}"
}
# The same text but for the line ends (the Windows programs write CR LF to a file).
same_text() { cmp -s <(tr -d '\r' <"$1") "$2"; }
# run NAME PROGRAM ARGS...: status in NAME.status, output and messages in NAME.out, NAME.err; the messages
# as UTF-8 (a Windows program's redirected messages are in the ANSI code page).
run() {
    local name="$1"
    shift
    "$@" >"$name.out" 2>"$name.err"
    echo $? >"$name.status"
    if ansi_is_932 && [[ $1 == win_* ]]; then
        iconv -f CP932 -t UTF-8 "$name.err" >"$name.err.utf-8" && mv "$name.err.utf-8" "$name.err"
    fi
}
same_run() {  # the Windows run $1 and the Linux run $2: status, output and messages
    cmp -s "$1.status" "$2.status" && same_text "$1.out" "$2.out" && same_text "$1.err" "$2.err"
}

# The inputs: the sample BMPs, the PNGs and the animated GIF animdump makes of their stream, a folder and a
# file with Japanese names.
cp "$root"/examples/frame-*.bmp .
frames=()
for frame in frame-*.bmp; do frames+=("$frame" 10); done
"$linux/animconv" use0xfe sample.bin "${frames[@]}" >/dev/null
"$linux/animdump" --gif sample.gif --png pngs sample.bin >/dev/null
mkdir 画像
cp pngs/frame-0003.png 画像/絵.png
cp frame-05.bmp 画像/フレーム.bmp
printf 'not an image\n' >bad.png
echo "animmake.exe (wine) against animmake (Linux)"

# One stream from each kind of input, per dither; the frames folder too.
for dither in search steady ordered none diffusion; do
    "$linux/animmake" -q --dither "$dither" -o "linux-$dither.bin" --frames-dir "linux-$dither" \
        frame-01.bmp frame-12.bmp pngs sample.gif 画像
    win_make -q --dither "$dither" -o "win-$dither.bin" --frames-dir "win-$dither" \
        frame-01.bmp frame-12.bmp pngs sample.gif 画像
    check "the same stream and frames, --dither $dither (BMP, PNG folder, GIF, Japanese names)" \
        eval "cmp -s linux-$dither.bin win-$dither.bin && diff -r -q linux-$dither win-$dither >/dev/null"
done

# A Japanese stream name and the summary line naming it.
run win-name win_make -o 出力.bin frame-01.bmp
"$linux/animmake" -q -o linux-出力.bin frame-01.bmp
check "a Japanese stream name" eval "cmp -s 出力.bin linux-出力.bin && grep -q '出力.bin' win-name.err"

# A bad input among good ones: status 1, the same message, the stream as it was (replace and append).
cp sample.bin stream.bin
run win-bad win_make -q -f -o stream.bin frame-01.bmp bad.png
run linux-bad "$linux/animmake" -q -f -o stream.bin frame-01.bmp bad.png
check "a bad input: status, message, stream untouched (-f)" eval "same_run win-bad linux-bad &&
    cmp -s stream.bin sample.bin && [[ \$(ls stream.bin* | wc -l) -eq 1 ]]"
run win-bad-append win_make -q -a -o stream.bin frame-01.bmp bad.png
check "a bad input: the append cut back (-a)" eval "[[ \$(cat win-bad-append.status) == 1 ]] &&
    cmp -s stream.bin sample.bin"

# -a appends the frames whole; the result is Linux's.
cp sample.bin linux-append.bin
cp sample.bin win-append.bin
"$linux/animmake" -q -a -o linux-append.bin frame-02.bmp pngs/frame-0004.png
win_make -q -a -o win-append.bin frame-02.bmp pngs/frame-0004.png
check "-a: the same stream" cmp -s linux-append.bin win-append.bin

# Streams as inputs: joined around a picture under each dither, retimed and trimmed, appended to a stream, and
# a damaged one refused with the same line and the stream untouched.
cp sample.bin 見本入力.bin
for dither in search steady ordered none diffusion; do
    "$linux/animmake" -q --dither "$dither" -o "linux-join-$dither.bin" sample.bin frame-03.bmp 見本入力.bin
    win_make -q --dither "$dither" -o "win-join-$dither.bin" sample.bin frame-03.bmp 見本入力.bin
    check "streams joined around a picture, --dither $dither: the same stream" \
        cmp -s "linux-join-$dither.bin" "win-join-$dither.bin"
done
"$linux/animmake" -q -w 3 --fps 20 --start 0.25 --duration 0.5 -o linux-trim.bin sample.bin
win_make -q -w 3 --fps 20 --start 0.25 --duration 0.5 -o win-trim.bin sample.bin
check "a stream retimed and trimmed: the same stream" cmp -s linux-trim.bin win-trim.bin
cp sample.bin linux-append-stream.bin
cp sample.bin win-append-stream.bin
"$linux/animmake" -q -a -o linux-append-stream.bin 見本入力.bin
win_make -q -a -o win-append-stream.bin 見本入力.bin
check "-a with a stream input: the same stream" cmp -s linux-append-stream.bin win-append-stream.bin
head -c 5000 sample.bin >damaged.bin
cp sample.bin stream.bin
run win-damaged win_make -q -f -o stream.bin frame-01.bmp damaged.bin
run linux-damaged "$linux/animmake" -q -f -o stream.bin frame-01.bmp damaged.bin
check "a damaged stream: the same line naming frame and byte, status 1, stream untouched" eval "
    same_run win-damaged linux-damaged && grep -q 'damaged.bin: a damaged stream: frame [0-9]* at byte' win-damaged.err &&
    cmp -s stream.bin sample.bin"

# The refusals: the same status and message, nothing touched.
mkdir folder.bin
for refusal in "-o stream.bin frame-01.bmp" "-o folder.bin frame-01.bmp" "--fit sideways -o x.bin frame-01.bmp" \
    "-o x.bin" "-o x.bin missing.png" "-o x.bin @missing-list" "-a -o bad.png frame-01.bmp" \
    "-f -o frame-01.bmp frame-02.bmp frame-01.bmp"; do
    # shellcheck disable=SC2086
    run win-refusal win_make -q $refusal
    # shellcheck disable=SC2086
    run linux-refusal "$linux/animmake" -q $refusal
    check "refused like Linux: animmake $refusal" eval "same_run win-refusal linux-refusal &&
        cmp -s stream.bin sample.bin && [[ ! -e x.bin ]] && cmp -s bad.png <(printf 'not an image\\n') &&
        cmp -s frame-01.bmp \"$root/examples/frame-01.bmp\""
done

# Ctrl-C mid-run: the stream as it was, status 130.
for i in $(seq 1 4000); do printf 'pngs/frame-%04d.png\n' $((i % 12 + 1)); done >long-list.txt
for mode in -f -a; do
    cp sample.bin stream.bin
    win_make -q "$mode" -o stream.bin @long-list.txt &
    runner=$!
    # The program is running once its temporary file is there (wine may take tens of seconds to start).
    for _ in $(seq 1 900); do
        [[ -n "$(ls stream.bin.animmake-* 2>/dev/null)" ]] && break
        sleep 0.1
    done
    program="$(pgrep -f -n 'animmake.exe .*long-list' || true)"
    if [[ -z "$program" ]]; then
        fail "Ctrl-C ($mode): the program did not start or ended early"
        wait "$runner"
        continue
    fi
    if [[ $mode == -a ]]; then
        # The running append holds the stream with share mode 0: a second run is refused.
        run win-locked win_make -q -a -o stream.bin frame-01.bmp
        check "-a: a stream held by another run is refused" eval "[[ \$(cat win-locked.status) == 1 ]] &&
            grep -q 'stream.bin: the stream is locked by another run' win-locked.err"
    fi
    kill -INT "$program"
    wait "$runner"
    status=$?
    check "Ctrl-C ($mode): status 130, the stream as it was" eval "[[ $status == 130 ]] &&
        cmp -s stream.bin sample.bin && [[ -z \"\$(ls stream.bin.animmake-* 2>/dev/null)\" ]]"
done

# Killed mid-run (no handler runs): the stream as it was, and its temporary file, marked to be deleted on
# close, gone with the process.
for mode in -f -a; do
    cp sample.bin stream.bin
    win_make -q "$mode" -o stream.bin @long-list.txt &
    runner=$!
    for _ in $(seq 1 900); do
        [[ -n "$(ls stream.bin.animmake-* 2>/dev/null)" ]] && break
        sleep 0.1
    done
    sleep 1
    program="$(pgrep -f -n 'animmake.exe .*long-list' || true)"
    if [[ -z "$program" ]]; then
        fail "killed ($mode): the program did not start or ended early"
        wait "$runner"
        continue
    fi
    kill -KILL "$program"
    wait "$runner"
    for _ in $(seq 1 50); do
        [[ -z "$(ls stream.bin.animmake-* 2>/dev/null)" ]] && break
        sleep 0.1
    done
    check "killed ($mode): the stream as it was, nothing beside it" eval "cmp -s stream.bin sample.bin &&
        [[ -z \"\$(ls stream.bin.animmake-* 2>/dev/null)\" ]]"
done

echo "names in code page $code_page, lists as Notepad saves them, Windows habits"
# A Japanese folder and file, named on the command line, through a list in each of Notepad's encodings, and
# a stream under a Japanese name: Linux's stream each time.
mkdir "写真 フォルダ"
cp pngs/frame-0002.png "写真 フォルダ/00_猫.png"
cp pngs/frame-0007.png "写真 フォルダ/01_犬.png"
"$linux/animmake" -q -o linux-photos.bin "写真 フォルダ/00_猫.png" "写真 フォルダ/01_犬.png"
win_make -q -o 写真の出力.bin "写真 フォルダ"
win_make -q -o win-photo-file.bin "写真 フォルダ\\00_猫.png" "写真 フォルダ\\01_犬.png"
check "a Japanese folder and the file named in it: Linux's stream" eval "cmp -s 写真の出力.bin linux-photos.bin &&
    cmp -s win-photo-file.bin linux-photos.bin"
list_text=$'写真 フォルダ\\00_猫.png\r\n写真 フォルダ\\01_犬.png\r\n'
printf '%s' "$list_text" >list-utf8.txt
printf '\xEF\xBB\xBF%s' "$list_text" >list-bom.txt
{ printf '\xFF\xFE'; printf '%s' "$list_text" | iconv -f UTF-8 -t UTF-16LE; } >list-utf16le.txt
{ printf '\xFE\xFF'; printf '%s' "$list_text" | iconv -f UTF-8 -t UTF-16BE; } >list-utf16be.txt
printf '%s' "$list_text" | iconv -f UTF-8 -t SHIFT_JIS >list-ansi.txt
encodings="utf8 bom utf16le utf16be"
if ansi_is_932; then encodings+=" ansi"; fi
for encoding in $encodings; do
    run "win-list-$encoding" win_make -q -o "リスト-$encoding.bin" "@list-$encoding.txt"
    check "a list in $encoding: Linux's stream" eval "cmp -s リスト-$encoding.bin linux-photos.bin"
done

# A path over 260 characters: a folder, a file in it, a list naming it, the stream and frames written there.
long="長い名前"
for i in 1 2 3 4 5 6; do long+="/$(printf '深いフォルダの名前%02d_abcdefghijklmnopqrstuvwxyz0123456789' "$i")"; done
mkdir -p "$long"
cp "写真 フォルダ/00_猫.png" "$long/00_猫.png"
cp "写真 フォルダ/01_犬.png" "$long/01_犬.png"
long_win="${long//\//\\}"
printf '%s\\00_猫.png\r\n%s\\01_犬.png\r\n' "$long_win" "$long_win" >list-long.txt
win_make -q -o "$long_win\\出力.bin" --frames-dir "$long_win\\フレーム" "$long_win"
win_make -q -o long-list.bin @list-long.txt
check "a path of ${#long_win} characters: folder, list, stream and frames there" eval "
    cmp -s \"$long/出力.bin\" linux-photos.bin && cmp -s long-list.bin linux-photos.bin &&
    [[ \$(ls \"$long/フレーム\" | wc -l) == 2 ]]"
run win-long-dump win_dump --png "$long_win\\画像" "$long_win\\出力.bin"
check "animdump.exe on that path: a report and its images" eval "[[ \$(cat win-long-dump.status) == 0 ]] &&
    [[ \$(ls \"$long/画像\" | wc -l) == 2 ]]"

# Wildcards expanded by the program in natural order, as the shell expands them on Linux; no match is an error.
"$linux/animmake" -q -o linux-wild.bin pngs/frame-000?.png pngs/frame-001*.png
win_make -q -o win-wild.bin "pngs\\frame-000?.png" "pngs\\FRAME-001*.PNG"
run win-nomatch win_make -q -o x.bin "写真 フォルダ\\*.gif"
check "wildcards: the same frames in the same order; no match names the pattern" eval "
    cmp -s win-wild.bin linux-wild.bin && [[ \$(cat win-nomatch.status) == 1 ]] &&
    same_text win-nomatch.err <(printf 'animmake: 写真 フォルダ\\\\*.gif: no file or folder matches\\n') &&
    [[ ! -e x.bin ]]"

# Videos through Media Foundation (wine's decodes through GStreamer): the frames and waits of Linux's
# animmake, whose timeline is the same, for H.264 in MP4 (B-frames, 29.97 frames a second) and MPEG-4 Part 2
# in AVI, whole and trimmed and retimed; the pixels differ where the scalers do. A codec the system cannot
# decode (VP9 in AVI under wine) is one line. A folder of a picture and a video takes both.
ffmpeg_clip() { ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=$1" "${@:2}"; }
ffmpeg_clip 320x240:rate=30000/1001 -t 3 -c:v libx264 -bf 2 -pix_fmt yuv420p 動画.mp4
ffmpeg_clip 320x240:rate=25 -t 2 -c:v mpeg4 -q:v 4 clip.avi
ffmpeg_clip 320x240:rate=25 -t 1 -c:v libvpx-vp9 vp9.avi
waits() { "$linux/animdump" "$1" | awk '$1 ~ /^[0-9]+$/ {print $6}' | tr '\n' ' '; }
# The same clip and trim through animmake on Linux and on Windows: the same waits, frame by frame. SHOWN is
# "first" or "last", the end of the waits the case's line shows.
same_waits() {
    local what=$1 clip=$2 trim=$3 shown=$4 linux_waits win_waits
    # shellcheck disable=SC2086 # the trim's words are separate arguments
    "$linux/animmake" -q -f $trim -o linux-video.bin "$clip"
    # shellcheck disable=SC2086
    win_make -q -f $trim -o win-video.bin "$clip"
    linux_waits="$(waits linux-video.bin)"
    win_waits="$(waits win-video.bin)"
    if [[ $shown == first ]]; then
        shown="Linux's frames and waits (${linux_waits:0:24}...)"
    else
        shown="Linux's waits to the last (...${linux_waits: -12})"
    fi
    check "$what ($clip${trim:+ $trim}): $shown" eval "
        [[ -n \"$linux_waits\" && \"$linux_waits\" == \"$win_waits\" ]] || {
            echo '        Linux:   $linux_waits'; echo '        Windows: $win_waits'; false; }"
}
for clip in 動画.mp4 clip.avi; do
    for trim in "" "--start 0.37" "--start 1.2 --duration 0.9" "--fps 24 --start 0.5" "-w 3 --fps 7"; do
        same_waits "a video" "$clip" "$trim" first
    done
done
# A sound track longer than the picture (as a phone's or a screen recorder's often is): the last frame
# lasts until the video stream's end, as on Linux, not the presentation's.
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=30000/1001:duration=2" \
    -f lavfi -i "sine=frequency=440:duration=2.3" -c:v libx264 -bf 2 -pix_fmt yuv420p -c:a aac hello.mp4
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=480x270:rate=30:duration=1.5" \
    -f lavfi -i "sine=frequency=440:duration=2.6" -c:v libx264 -pix_fmt yuv420p -c:a aac \
    -metadata:s:v rotate=90 phone.mov
for clip in hello.mp4 phone.mov; do
    for trim in "" "--fps 24 --start 0.5"; do
        same_waits "a longer sound track" "$clip" "$trim" last
    done
done
# A codec the system cannot decode, named from the AVI's header, with and without sound beside it (wine's
# reader shows the first as sound alone and cannot open the second).
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi \
    -i "sine=frequency=440" -t 1 -c:v libvpx-vp9 -c:a pcm_s16le vp9-sound.avi
for clip in vp9.avi vp9-sound.avi; do
    run win-vp9 win_make -q -o vp9.bin "$clip"
    check "a video the system cannot decode ($clip): one line naming the codec, status 1, no stream" eval "
        [[ \$(cat win-vp9.status) == 1 && \$(tr -d '\r' <win-vp9.err | wc -l) == 1 && ! -e vp9.bin ]] &&
        grep -q '^animmake: $clip: cannot decode its video: the system has no VP9 decoder' win-vp9.err" || cat win-vp9.err
done
mkdir mixed
cp pngs/frame-0001.png mixed/1.png
cp clip.avi mixed/2.avi
"$linux/animmake" -q -o linux-mixed.bin mixed
run win-mixed win_make -q -o win-mixed.bin mixed
check "a folder of a picture and a video: Linux's frames and waits" eval "
    [[ \$(cat win-mixed.status) == 0 && -n \"\$(waits linux-mixed.bin)\" ]] &&
    [[ \"\$(waits linux-mixed.bin)\" == \"\$(waits win-mixed.bin)\" ]]"

# /? is --help; the help lists only what the build does (videos, but no --play).
run win-slash-help win_make '/?'
run win-help win_make --help
run win-dump-help win_dump '/?'
check "/? is --help; videos but no --play in the help" eval "cmp -s win-slash-help.out win-help.out &&
    ! grep -q 'This build reads no video' win-help.out && grep -q 'a video (MP4' win-help.out &&
    grep -q '^Usage: animdump' win-dump-help.out && ! grep -q -- '--play' win-dump-help.out"
run win-dump-long-help win_dump --help
for asked in /help /HELP -?; do
    run win-asked win_make -o x.bin "$asked"
    run win-dump-asked win_dump "$asked"
    check "$asked is --help too (both tools)" eval "[[ \$(cat win-asked.status) == 0 ]] &&
        cmp -s win-asked.out win-help.out && cmp -s win-dump-asked.out win-dump-long-help.out && [[ ! -e x.bin ]]"
done

# A file dropped on animmake.exe: no -o, the stream beside it; refused once it exists, replaced with -f.
run win-drop win_make -q "写真 フォルダ\\00_猫.png"
run win-drop-again win_make -q "写真 フォルダ\\00_猫.png"
"$linux/animmake" -q -o linux-drop.bin "写真 フォルダ/00_猫.png"
check "a dropped file: the stream beside it, refused when it exists" eval "
    [[ \$(cat win-drop.status) == 0 ]] && cmp -s \"写真 フォルダ/00_猫.bin\" linux-drop.bin &&
    [[ \$(cat win-drop-again.status) == 1 ]] && grep -q '00_猫.bin: the stream exists' win-drop-again.err"
# A list dropped on animmake.exe (its full path the only argument, no @): read as a list, its names taken
# from its own folder wherever the run starts, its stream beside it; a stream or an image dropped stays one.
mkdir "リスト フォルダ"
cp "写真 フォルダ/00_猫.png" "写真 フォルダ/01_犬.png" "リスト フォルダ/"
printf '\xEF\xBB\xBF00_猫.png\r\n01_犬.png\r\n' >"リスト フォルダ/写真.txt"
run win-drop-list win_make -q "$(winepath_of "リスト フォルダ/写真.txt")"
cp sample.bin "リスト フォルダ/見本.txt"
run win-drop-stream win_make -q -o dropped-stream.bin "リスト フォルダ\\見本.txt"
check "a dropped list: read as one from its own folder, the stream beside it; a stream stays a stream" eval "
    [[ \$(cat win-drop-list.status) == 0 ]] && cmp -s 'リスト フォルダ/写真.bin' linux-photos.bin &&
    [[ \$(cat win-drop-stream.status) == 0 ]] && cmp -s dropped-stream.bin sample.bin" ||
    cat win-drop-list.err win-drop-stream.err

# Files marked read-only (wine shows a file with no write bit as FILE_ATTRIBUTE_READONLY): never replaced or
# appended to, -f or not; animdump's images neither. One line naming it, status 2, the file as it was.
cp sample.bin 読み取り専用.bin
cp sample.gif 読み取り専用.gif
chmod a-w 読み取り専用.bin 読み取り専用.gif
for mode in "" -f -a; do
    # shellcheck disable=SC2086
    run win-read-only win_make -q $mode -o 読み取り専用.bin frame-01.bmp
    check "a stream marked read-only${mode:+ ($mode)}: refused, status 2, untouched" eval "
        [[ \$(cat win-read-only.status) == 2 && \$(tr -d '\r' <win-read-only.err | wc -l) == 1 ]] &&
        grep -q '読み取り専用.bin: the stream is marked read-only' win-read-only.err &&
        cmp -s 読み取り専用.bin sample.bin && [[ \$(stat -c %a 読み取り専用.bin) == 444 ]]"
done
run win-read-only win_dump --gif 読み取り専用.gif sample.bin
check "animdump.exe --gif onto a file marked read-only: refused, status 2, untouched" eval "
    [[ \$(cat win-read-only.status) == 2 ]] && cmp -s 読み取り専用.gif sample.gif &&
    grep -q \"cannot write '読み取り専用.gif': the file is marked read-only\" win-read-only.err"
chmod u+w 読み取り専用.bin 読み取り専用.gif

# In a console of its own (a terminal here, through script) it waits for a key after the summary, and a
# start with no arguments shows the help and waits; a key is typed every second until it ends.
keys() { for _ in $(seq 1 30); do sleep 1; printf x; done; }
# (The typing stops by SIGPIPE once the program has ended: the status is script's, the second in the pipe.)
keys | timeout 60 script -qec "$wine_run $win32/animmake.exe -f '写真 フォルダ'" /dev/null >win-own-console.out
echo "${PIPESTATUS[1]}" >win-own-console.status
keys | timeout 60 script -qec "$wine_run $win32/animmake.exe" /dev/null >win-double-click.out
echo "${PIPESTATUS[1]}" >win-double-click.status
check "its own console: the summary, then a key is waited for; alone, the help and a wait" eval "
    [[ \$(cat win-own-console.status) == 0 ]] && grep -q 'Press a key to close this window' win-own-console.out &&
    cmp -s '写真 フォルダ.bin' linux-photos.bin &&
    [[ \$(cat win-double-click.status) == 0 ]] && grep -q 'Usage: animmake' win-double-click.out &&
    grep -q 'Press a key' win-double-click.out && ! grep -q 'Press a key' win-drop.err"

# animdump.exe too: after the report, after an error, and alone (the help).
keys | timeout 60 script -qec "$wine_run $win32/animdump.exe sample.bin" /dev/null >win-dump-console.out
echo "${PIPESTATUS[1]}" >win-dump-console.status
keys | timeout 60 script -qec "$wine_run $win32/animdump.exe missing.bin" /dev/null >win-dump-error.out
echo "${PIPESTATUS[1]}" >win-dump-error.status
keys | timeout 60 script -qec "$wine_run $win32/animdump.exe" /dev/null >win-dump-alone.out
echo "${PIPESTATUS[1]}" >win-dump-alone.status
check "animdump.exe in its own console: the report or the error, then a key is waited for; alone, the help" eval "
    [[ \$(cat win-dump-console.status) == 0 ]] && grep -q '^valid' win-dump-console.out &&
    grep -q 'Press a key to close this window' win-dump-console.out &&
    [[ \$(cat win-dump-error.status) == 2 ]] && grep -q \"cannot read 'missing.bin'\" win-dump-error.out &&
    grep -q 'Press a key' win-dump-error.out &&
    [[ \$(cat win-dump-alone.status) == 0 ]] && grep -q 'Usage: animdump' win-dump-alone.out &&
    grep -q 'Press a key' win-dump-alone.out"

echo "animdump.exe (wine) against animdump (Linux)"
cp sample.bin 見本.bin
run win-list win_dump 見本.bin
run linux-list "$linux/animdump" sample.bin
check "check and list: the same report" same_run win-list linux-list
head -c 3000 sample.bin >cut.bin
run win-cut win_dump --gif cut.gif cut.bin
run linux-cut "$linux/animdump" --gif cut.gif cut.bin
check "an invalid stream: the same report, status 1, no GIF" eval "same_run win-cut linux-cut && [[ ! -e cut.gif ]]"
run win-show win_dump --show 5 sample.bin
run linux-show "$linux/animdump" --show 5 sample.bin
check "--show: the same drawing" same_run win-show linux-show
run win-play win_dump --play sample.bin
check "--play: refused with status 2, before the report" eval "[[ \$(cat win-play.status) == 2 ]] &&
    [[ ! -s win-play.out ]] && grep -q 'not available' win-play.err"
run win-images win_dump --gif 動画.gif --png 画像たち --delay-scale 2 見本.bin
"$linux/animdump" --gif linux.gif --png linux-pngs --delay-scale 2 sample.bin >/dev/null
# Read back through libvips with no dither: the same stream means the same pixels and delays.
"$linux/animmake" -q --dither none --no-delta -o win-gif.bin 動画.gif
"$linux/animmake" -q --dither none --no-delta -o linux-gif.bin linux.gif
check "--gif: the same frames and delays" eval "[[ \$(cat win-images.status) == 0 ]] &&
    [[ -s win-gif.bin ]] && cmp -s win-gif.bin linux-gif.bin"
"$linux/animmake" -q --dither none --no-delta -o win-png.bin 画像たち
"$linux/animmake" -q --dither none --no-delta -o linux-png.bin linux-pngs
check "--png: the same frames" eval "[[ \$(ls 画像たち | wc -l) == 12 ]] && cmp -s win-png.bin linux-png.bin"
cp 動画.gif first.gif
run win-again win_dump --gif 動画.gif --delay-scale 2 見本.bin
check "--gif over an existing GIF: replaced whole, nothing left beside it" eval "[[ \$(cat win-again.status) == 0 ]] &&
    cmp -s 動画.gif first.gif && [[ -z \"\$(ls ./*.animdump-* 2>/dev/null)\" ]]"

# All 216 colours of the cube (libvips is handed them and adds its transparent slot): 36 in the first frame,
# six new ones in small tiles in each frame after it. Left to choose, libvips gives such frames colour
# tables of their own, which doubles the GIF against Linux's.
mkdir cube
perl -e 'my @tile = map { $_ % 36 } 0 .. 503;
    for my $f (0 .. 30) {
        if ($f > 0) { for my $j (0 .. 5) { my $k = 30 + $f * 6 + $j; $tile[($k * 97) % 504] = $k } }
        open my $out, ">", sprintf("cube/%02d.ppm", $f) or die;
        binmode $out;
        print $out "P6 190 170 255\n";
        for my $y (0 .. 169) { for my $x (0 .. 189) {
            my $k = $tile[int($x / 8) + int($y / 8) * 24];
            print $out pack("C3", map { 51 * $_ } int($k / 36), int($k / 6) % 6, $k % 6);
        } } }' || exit 2
"$linux/animmake" -q --dither none -o cube.bin cube
run win-cube win_dump --gif cube.gif cube.bin
"$linux/animdump" --gif linux-cube.gif cube.bin >/dev/null
"$linux/animmake" -q --dither none --no-delta -o win-cube-gif.bin cube.gif
"$linux/animmake" -q --dither none --no-delta -o linux-cube-gif.bin linux-cube.gif
check "--gif, all 216 colours: the same frames and delays" eval "[[ \$(cat win-cube.status) == 0 ]] &&
    [[ -s win-cube-gif.bin ]] && cmp -s win-cube-gif.bin linux-cube-gif.bin"
no_larger() {  # WINDOWS_GIF LINUX_GIF: at most a tenth larger
    (($(stat -c %s "$1") * 10 <= $(stat -c %s "$2") * 11))
}
check "--gif: no more than a tenth larger than Linux's (the sample, the cube)" eval \
    "no_larger 動画.gif linux.gif && no_larger cube.gif linux-cube.gif"
if [[ $gif_writer == giflib ]]; then
    check "--gif through giflib: Linux's bytes (the sample at --delay-scale 2, the cube)" eval \
        "cmp -s 動画.gif linux.gif && cmp -s cube.gif linux-cube.gif"
else
    echo "  skip  --gif byte for byte: animdump.exe writes GIFs through libvips (giflib's source was not at hand)"
fi

# An image that would be renamed over the stream being read: refused by identity (volume serial and file
# index), however spelt, before anything is written.
mkdir -p sub over-pngs
cp sample.bin over.bin
cp sample.bin over-pngs/frame-0002.png
over_refused() {  # the last run: status 2, one line naming both, nothing written, nothing left beside
    local lines
    lines="$(tr -d '\r' <win-over.err | wc -l)"
    if [[ $(cat win-over.status) == 2 && $lines == 1 ]] && grep -q "would replace the stream being read" win-over.err &&
        cmp -s over.bin sample.bin && cmp -s over-pngs/frame-0002.png sample.bin &&
        [[ $(ls over-pngs | wc -l) == 1 && -z "$(ls ./*.animdump-* over-pngs/*.animdump-* 2>/dev/null)" ]]; then
        return 0
    fi
    echo "        status $(cat win-over.status), messages:"
    sed 's/^/        /' win-over.err
    return 1
}
for refusal in "--gif over.bin over.bin" "--gif sub\\..\\over.bin .\\over.bin" "--gif OVER.BIN over.bin" \
    "--png over-pngs over-pngs/frame-0002.png"; do
    # shellcheck disable=SC2086 # the refusal's words are separate arguments
    run win-over win_dump $refusal
    check "animdump.exe $refusal: refused, nothing written" over_refused
done

if ((failures > 0)); then
    echo "$failures case(s) failed"
    exit 1
fi
echo "all animmake.exe and animdump.exe cases passed"
