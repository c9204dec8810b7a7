#!/usr/bin/env bash
# animmake's peak resident memory (/usr/bin/time -v) on 1920x1080 inputs, 100 and 1,000 frames: 100
# distinct JPEG and PNG frames, the 1,000-frame runs naming each of them ten times through an @LIST.
#
#   bench/make/animmake_memory.sh [--build DIR]
set -euo pipefail
export LC_ALL=C
build=build
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

peak() {  # LABEL ARGS...: peak resident set of one animmake run, in MiB
    local label=$1
    shift
    /usr/bin/time -v "$build/animmake" -q -f -o "$work/out.bin" "$@" 2>"$work/time.txt"
    local kib frames
    kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    frames=$("$build/animdump" "$work/out.bin" | awk '/^total:/ { print $2 }')
    printf '%-34s %5s frames  peak %6.1f MiB\n' "$label" "$frames" "$(echo "$kib / 1024" | bc -l)"
}

for format in jpg png; do
    mkdir -p "$work/$format"
    "$build/bench/make/make_photo_frames" 1920 1080 100 "$work/$format" "$format"
    : >"$work/list-$format.txt"
    for ((i = 0; i < 10; ++i)); do
        printf '%s\n' "$work/$format"/*."$format" >>"$work/list-$format.txt"
    done
    peak "1920x1080 $format, 100 frames" "$work/$format"
    peak "1920x1080 $format, 1,000 frames" "@$work/list-$format.txt"
done
