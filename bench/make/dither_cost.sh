#!/usr/bin/env bash
# What each dither costs animmake on the frames it is slowest to read: N 1280x720 PNG frames (made by
# make_photo_frames), animmake with every dither and libvips decoding alone (vips_decode_floor), interleaved
# R times in one run; prints the median wall-clock and processor (user + system) seconds of each and their
# ratios to ordered's. On a shared machine the processor seconds are the steadier figure.
#
#   bench/make/dither_cost.sh [--build DIR] [--frames N] [--repeats R] [--dithers "ordered search ..."]
set -euo pipefail
export LC_ALL=C
build=build
frames=120
repeats=5
dithers=(ordered steady search none diffusion)  # ordered first: the others are divided by it
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --dithers) read -r -a dithers <<<"$2"; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "$0")/timing.sh"

animmake() { "$build/animmake" -q -f --dither "$1" -o "$work/animmake.bin" "$work/frames"; }
decode_floor() { "$build/bench/make/vips_decode_floor" "$work"/frames/*; }

mkdir -p "$work/frames"
"$build/bench/make/make_photo_frames" 1280 720 "$frames" "$work/frames" png
declare -A times cpu
for ((r = 0; r < repeats; ++r)); do
    for dither in "${dithers[@]}"; do
        times[$dither]+="$(seconds animmake "$dither") "
        cpu[$dither]+="$(cpu_seconds animmake "$dither") "
    done
    times[decoding]+="$(seconds decode_floor) "
    cpu[decoding]+="$(cpu_seconds decode_floor) "
done
ordered=$(printf '%s\n' ${times[ordered]} | median)
ordered_cpu=$(printf '%s\n' ${cpu[ordered]} | median)
echo "1280x720 PNG, $frames frames, median of $repeats:"
for name in "${dithers[@]}" decoding; do
    median_seconds=$(printf '%s\n' ${times[$name]} | median)
    median_cpu=$(printf '%s\n' ${cpu[$name]} | median)
    printf '  %-10s %6.2f s  %.3f x ordered   processor %6.2f s  %.3f x ordered\n' "$name" "$median_seconds" \
        "$(echo "$median_seconds / $ordered" | bc -l)" "$median_cpu" "$(echo "$median_cpu / $ordered_cpu" | bc -l)"
done
