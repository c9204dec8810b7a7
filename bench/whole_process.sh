#!/usr/bin/env bash
# The whole-process benchmark: animconv against an I/O floor doing the same file system work.
#
#   bench/whole_process.sh [--build DIR] [--frames N] [--repeats R] [--mode use0xfe|no0xfe]
#                          [--kinds "flat photo noise"] [--calls "one many"]
#
# For each content kind it writes N 24-bit 190x170 frames, then times, interleaved and R times over:
#   one call:   animconv MODE out f0 10 f1 10 ...      against   io_floor out sizes 0 f0 f1 ...
#   many calls: animconv MODE out fi 10, N times      against   io_floor out sizes i fi, N times
# io_floor opens, reads and closes each input and appends to the output exactly the bytes animconv
# appended for that frame. It prints the median times, their ratio animconv / floor, frames per second and
# animconv's peak resident memory (/usr/bin/time -v). Run from the repository root.
set -euo pipefail
export LC_ALL=C

build=build
frames=1000
repeats=5
mode=use0xfe
kinds="flat photo noise"
calls="one many"
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --mode) mode=$2; shift 2 ;;
        --kinds) kinds=$2; shift 2 ;;
        --calls) calls=$2; shift 2 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

if [[ ! -x /usr/bin/time ]]; then
    echo "installing the time package for /usr/bin/time"
    apt-get update -qq && apt-get install -y -qq time >/dev/null
fi
if [[ ! -f "$build/build.ninja" && ! -f "$build/Makefile" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target animconv io_floor make_bench_frames >/dev/null
animconv=$(realpath "$build/animconv")
floor=$(realpath "$build/bench/io_floor")
maker=$(realpath "$build/bench/make_bench_frames")

work=$(mktemp -d "${TMPDIR:-/tmp}/animconv-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.anim

# Wall time of a command in microseconds, from bash's own clock (no extra process).
micros() {
    local start=$EPOCHREALTIME
    "$@"
    local end=$EPOCHREALTIME
    echo $((${end/./} - ${start/./}))
}
median() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
minimum() {
    printf '%s\n' "$@" | sort -n | head -n 1
}

convert_one() { rm -f "$out"; "$animconv" "$mode" "$out" "${pairs[@]}" >/dev/null; }
floor_one() { rm -f "$out"; "$floor" "$out" "$work/sizes-one" 0 "${inputs[@]}"; }
convert_many() {
    rm -f "$out"
    local i
    for ((i = 0; i < ${#inputs[@]}; i++)); do "$animconv" "$mode" "$out" "${inputs[i]}" 10 >/dev/null; done
}
floor_many() {
    rm -f "$out"
    local i
    for ((i = 0; i < ${#inputs[@]}; i++)); do "$floor" "$out" "$work/sizes-many" "$i" "${inputs[i]}"; done
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "mode $mode, $frames frames per kind, median of $repeats interleaved runs (best in brackets)"
printf '%-6s %-5s %12s %12s %14s %10s %12s %10s\n' kind calls "animconv ms" "floor ms" "ratio" "frames/s" \
    "out bytes" "peak KiB"
for kind in $kinds; do
    mkdir -p "$work/$kind"
    "$maker" "$work/$kind" "$kind" "$frames"
    inputs=("$work/$kind"/frame-*.bmp)
    pairs=()
    for f in "${inputs[@]}"; do pairs+=("$f" 10); done

    for how in $calls; do
        # A reference run warms the page cache and gives the frame lengths the floor must append.
        "convert_$how"
        cp "$out" "$work/reference.anim"
        "$floor" --frame-sizes "$work/reference.anim" >"$work/sizes-$how"
        [[ $(wc -l <"$work/sizes-$how") -eq $frames ]] || { echo "reference run wrote a wrong frame count" >&2; exit 1; }

        converter_times=()
        floor_times=()
        for ((r = 0; r < repeats; r++)); do
            if ((r % 2 == 0)); then
                converter_times+=("$(micros convert_$how)")
                cmp -s "$out" "$work/reference.anim" || { echo "output differs between runs" >&2; exit 1; }
                floor_times+=("$(micros floor_$how)")
            else
                floor_times+=("$(micros floor_$how)")
                converter_times+=("$(micros convert_$how)")
                cmp -s "$out" "$work/reference.anim" || { echo "output differs between runs" >&2; exit 1; }
            fi
        done
        [[ $(stat -c %s "$out") -eq $(stat -c %s "$work/reference.anim") ]] ||
            { echo "the floor appended a different number of bytes" >&2; exit 1; }

        peak=0
        if [[ $how == one ]]; then
            rm -f "$out"
            peak=$(/usr/bin/time -v "$animconv" "$mode" "$out" "${pairs[@]}" 2>&1 >/dev/null |
                awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
        else
            rm -f "$out"
            peak=$(/usr/bin/time -v "$animconv" "$mode" "$out" "${inputs[0]}" 10 2>&1 >/dev/null |
                awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
        fi
        converter=$(median "${converter_times[@]}")
        base=$(median "${floor_times[@]}")
        best_converter=$(minimum "${converter_times[@]}")
        best_base=$(minimum "${floor_times[@]}")
        awk -v k="$kind" -v h="$how" -v c="$converter" -v f="$base" -v bc="$best_converter" -v bf="$best_base" \
            -v n="$frames" -v bytes="$(stat -c %s "$work/reference.anim")" -v p="$peak" 'BEGIN {
                printf "%-6s %-5s %12.1f %12.1f %6.2f (%5.2f) %10.0f %12d %10d\n",
                    k, h, c / 1000, f / 1000, c / f, bc / bf, n / (c / 1e6), bytes, p
            }'
    done
    rm -rf "${work:?}/$kind"
done
