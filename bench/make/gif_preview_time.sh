#!/usr/bin/env bash
# animdump.exe --gif's time under wine against animdump --gif's on Linux, on the same 255-frame streams (the
# photo frames of make_photo_frames and dither_bench's kinds, made by animmake with its default dither):
# medians of alternating runs, wall-clock and CPU time, as ratios in this one run. The Windows time is shown
# whole and less animdump.exe's own start and report (the same run without --gif), which is wine's start-up
# mostly; the last column says whether the two GIFs are the same bytes (they are when animdump.exe writes
# with giflib).
#
#   bench/make/gif_preview_time.sh [--build DIR] [--win32 DIR] [--runs N]
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$0")/../.." && pwd)"
build=build
win32=build-win32
runs=3
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --win32) win32=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
build=$(cd "$build" && pwd)
win32=$(cd "$win32" && pwd)
wine_run="$root/tools/win32/wine-run.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

timed() {  # COMMAND...: "WALL CPU" seconds of one run, its output dropped; CPU is the user and system time
    # of the run and its children (under wine the program's own, without the wine server's)
    local TIMEFORMAT='%3R %3U %3S' report
    report=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{ printf "%.3f %.3f", $1, $2 + $3 }' <<<"$report"
}
median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

# A stream of exactly 255 frames from a folder of frames, repeated as often as it takes.
stream_of() {  # NAME FOLDER
    local inputs=()
    for _ in 1 2 3 4 5 6 7 8 9; do inputs+=("$2"); done
    "$build/animmake" -q -w 4 -o "$work/$1-long.bin" "${inputs[@]}"
    "$build/animmake" -q -o "$work/$1.bin" --duration 10.2 "$work/$1-long.bin"
}
mkdir -p "$work/photo"
"$build/bench/make/make_photo_frames" 190 170 120 "$work/photo" png 4 >/dev/null
stream_of photo "$work/photo"
for kind in still phone screen; do
    mkdir -p "$work/$kind"
    "$build/bench/make/dither_bench" --write "$kind" "$work/$kind" >/dev/null
    stream_of "$kind" "$work/$kind"
done
"$wine_run" "$win32/animdump.exe" --version >/dev/null  # the prefix and wine's services up first

printf '| stream | frames | animdump --gif: wall (CPU) s | animdump.exe --gif: wall (CPU) s | ratio: wall (CPU) '
printf '| animdump.exe report only: wall (CPU) s | --gif less the report, ratio: wall (CPU) '
printf '| animdump.exe GIF (sha256) | same bytes as Linux |\n|---|---|---|---|---|---|---|---|---|\n'
pair() { printf '%s (%s)' "$1" "$2"; }
for name in photo still phone screen; do
    stream="$work/$name.bin"
    frames=$("$build/animdump" "$stream" | sed -n 's/^total: \([0-9]*\) frames.*/\1/p')
    lw=() lc=() ww=() wc=() rw=() rc=()
    for _ in $(seq 1 "$runs"); do
        read -r a b <<<"$(timed "$build/animdump" --gif "$work/$name-linux.gif" "$stream")"
        lw+=("$a") lc+=("$b")
        read -r a b <<<"$(timed "$wine_run" "$win32/animdump.exe" --gif "$work/$name-win.gif" "$stream")"
        ww+=("$a") wc+=("$b")
        read -r a b <<<"$(timed "$wine_run" "$win32/animdump.exe" "$stream")"
        rw+=("$a") rc+=("$b")
    done
    l=$(echo "${lw[*]}" | median) lcpu=$(echo "${lc[*]}" | median)
    w=$(echo "${ww[*]}" | median) wcpu=$(echo "${wc[*]}" | median)
    r=$(echo "${rw[*]}" | median) rcpu=$(echo "${rc[*]}" | median)
    less() { awk -v w="$1" -v r="$2" 'BEGIN { printf "%.3f", w - r }'; }
    digest=$(sha256sum "$work/$name-win.gif" | cut -c1-12)
    same=no
    if cmp -s "$work/$name-win.gif" "$work/$name-linux.gif"; then same=yes; fi
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$frames" "$(pair "$l" "$lcpu")" \
        "$(pair "$w" "$wcpu")" "$(pair "$(ratio "$w" "$l")" "$(ratio "$wcpu" "$lcpu")")" "$(pair "$r" "$rcpu")" \
        "$(pair "$(ratio "$(less "$w" "$r")" "$l")" "$(ratio "$(less "$wcpu" "$rcpu")" "$lcpu")")" "$digest" "$same"
done
