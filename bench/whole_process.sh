#!/usr/bin/env bash
# The whole-process benchmark: animconv against an I/O floor doing the same file system work.
#
#   bench/whole_process.sh [--build DIR] [--frames N] [--repeats R] [--mode use0xfe|no0xfe]
#                          [--kinds "flat photo noise"] [--calls "one many"] [--animconv PATH]
#
# For each content kind it writes N 24-bit 190x170 frames, then times, interleaved and R times over:
#   one call:   animconv MODE out f0 10 f1 10 ...      against   io_floor out sizes 0 f0 f1 ...
#   many calls: animconv MODE out fi 10, N times      against   io_floor out sizes i fi, N times
# io_floor opens, reads and closes each input and appends to the output exactly the bytes animconv
# appended for that frame. It prints median times, the median of the pairs' ratios animconv / floor (wall
# clock and CPU time), frames per second and animconv's peak resident memory (/usr/bin/time -v).
# Paths are taken from the repository root; the machine may be noisy, so every figure is a ratio within one
# run.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

build=build
frames=1000
repeats=5
mode=use0xfe
kinds="flat photo noise"
calls="one many"
animconv=
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --mode) mode=$2; shift 2 ;;
        --kinds) kinds=$2; shift 2 ;;
        --calls) calls=$2; shift 2 ;;
        --animconv) animconv=$(realpath "$2"); shift 2 ;;  # another build of the converter to measure
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

tools/ci/install_packages.sh time
if [[ ! -f "$build/build.ninja" && ! -f "$build/Makefile" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target animconv io_floor make_bench_frames >/dev/null
animconv=${animconv:-$(realpath "$build/animconv")}
floor=$(realpath "$build/bench/io_floor")
maker=$(realpath "$build/bench/make_bench_frames")

work=$(mktemp -d "${TMPDIR:-/tmp}/animconv-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.anim

# Wall and CPU (user + system) milliseconds of a command, as "wall cpu", from bash's own clock.
measure() {
    local TIMEFORMAT='%3R %3U %3S'
    { time "$@" 2>/dev/null; } 2>"$work/time"
    awk '{ printf "%.3f %.3f\n", $1 * 1000, ($2 + $3) * 1000 }' "$work/time"
}
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
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
echo "mode $mode, $frames frames per kind, $repeats interleaved pairs of runs; times are medians,"
echo "ratios the median of the pairs' ratios (wall clock, and CPU time = user + system)"
printf '%-6s %-5s %11s %11s %10s %10s %10s %11s %9s\n' kind calls "animconv ms" "floor ms" "wall ratio" \
    "cpu ratio" "frames/s" "out bytes" "peak KiB"
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

        walls=() floors=() wall_ratios=() cpu_ratios=()
        for ((r = 0; r < repeats; r++)); do
            # Alternate which goes first, so that neither always runs on a warmer or quieter machine.
            if ((r % 2 == 0)); then
                read -r cw cc < <(measure "convert_$how")
                cmp -s "$out" "$work/reference.anim" || { echo "output differs between runs" >&2; exit 1; }
                read -r fw fc < <(measure "floor_$how")
            else
                read -r fw fc < <(measure "floor_$how")
                read -r cw cc < <(measure "convert_$how")
                cmp -s "$out" "$work/reference.anim" || { echo "output differs between runs" >&2; exit 1; }
            fi
            walls+=("$cw") floors+=("$fw")
            wall_ratios+=("$(awk -v a="$cw" -v b="$fw" 'BEGIN { print a / b }')")
            cpu_ratios+=("$(awk -v a="$cc" -v b="$fc" 'BEGIN { print (b > 0 ? a / b : 0) }')")
        done
        floor_$how
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
        awk -v k="$kind" -v h="$how" -v c="$(median "${walls[@]}")" -v f="$(median "${floors[@]}")" \
            -v wr="$(median "${wall_ratios[@]}")" -v cr="$(median "${cpu_ratios[@]}")" -v n="$frames" \
            -v bytes="$(stat -c %s "$work/reference.anim")" -v p="$peak" 'BEGIN {
                printf "%-6s %-5s %11.1f %11.1f %10.2f %10.2f %10.0f %11d %9d\n",
                    k, h, c, f, wr, cr, n / (c / 1000), bytes, p
            }'
    done
    rm -rf "${work:?}/$kind"
done
