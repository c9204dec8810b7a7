#!/usr/bin/env bash
# animmake.exe and animdump.exe under wine against the Linux build's animmake and animdump on the same
# inputs: the same stream bytes (190x170 BMPs, PNGs and an animated GIF through the same dither), the same
# reports, images with exactly the same pixels, Japanese names, a bad input and a refusal leaving the stream
# untouched, -a (and a stream held by another run), and Ctrl-C (wine turns SIGINT into the console's Ctrl-C
# event).
#   tests/win32/tools_cases.sh LINUX_BUILD WIN32_BUILD
# Needs wine's prefix made and the ja_JP.UTF-8 locale (tools/ci/win32.sh sees to both).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
linux="$(cd "$1" && pwd)"
win32="$(cd "$2" && pwd)"
wine_run="$root/tools/win32/wine-run.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

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
win_make() { "$wine_run" "$win32/animmake.exe" "$@"; }
win_dump() { "$wine_run" "$win32/animdump.exe" "$@"; }
# The same text but for the line ends (the Windows programs write CR LF to a file).
same_text() { cmp -s <(tr -d '\r' <"$1") "$2"; }
# run NAME PROGRAM ARGS...: status in NAME.status, output and messages in NAME.out, NAME.err.
run() {
    local name="$1"
    shift
    "$@" >"$name.out" 2>"$name.err"
    echo $? >"$name.status"
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
    # The program is running once its temporary file or its first appended frame is there.
    for _ in $(seq 1 300); do
        [[ -n "$(ls stream.bin.animmake-* 2>/dev/null)" || $(stat -c %s stream.bin) -gt $(stat -c %s sample.bin) ]] &&
            break
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

if ((failures > 0)); then
    echo "$failures case(s) failed"
    exit 1
fi
echo "all animmake.exe and animdump.exe cases passed"
