#!/usr/bin/env bash
# animmake against the ImageMagick pipeline people use today (mogrify to 190x170 BMPs with an ordered
# dither, then animconv use0xfe over them), and against simply decoding the same inputs with libvips
# (vips_decode_floor, as many threads as animmake). Same frames, one run, interleaved R times; prints the
# median seconds of each and the ratios of the medians. ImageMagick is timed two ways: one mogrify process
# per frame, as a shell loop over the frames does it (the way the issue measured it), and one mogrify call
# over all frames, its fastest use.
#
#   bench/make/animmake_vs_imagemagick.sh [--build DIR] [--frames N] [--repeats R]
#
# Sources (made by make_photo_frames): N 1280x720 PNG and N 1920x1080 JPEG (quality 90) frames.
set -euo pipefail
export LC_ALL=C
build=build
frames=120
repeats=3
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "$0")/timing.sh"

imagemagick_options=(-format bmp -resize 190x170 -background black -gravity center -extent 190x170
    -ordered-dither o8x8,6 -type truecolor -define bmp:format=bmp3)
imagemagick() {  # SOURCE_FOLDER per-frame|one-call
    rm -rf "$work/bmp" "$work/im.bin" && mkdir "$work/bmp"
    if [[ $2 == per-frame ]]; then
        for f in "$1"/*; do mogrify -path "$work/bmp" "${imagemagick_options[@]}" "$f"; done
    else
        mogrify -path "$work/bmp" "${imagemagick_options[@]}" "$1"/*
    fi
    local args=()
    for f in "$work"/bmp/*.bmp; do args+=("$f" 10); done
    "$build/animconv" use0xfe "$work/im.bin" "${args[@]}"
}
animmake() { "$build/animmake" -q -f -o "$work/animmake.bin" "$1"; }
decode_floor() { "$build/bench/make/vips_decode_floor" "$1"/*; }

run_set() {  # NAME WIDTH HEIGHT FORMAT
    local folder="$work/$1"
    mkdir -p "$folder"
    "$build/bench/make/make_photo_frames" "$2" "$3" "$frames" "$folder" "$4"
    local im=() one=() am=() floor=()
    for ((r = 0; r < repeats; ++r)); do
        im+=("$(seconds imagemagick "$folder" per-frame)")
        one+=("$(seconds imagemagick "$folder" one-call)")
        am+=("$(seconds animmake "$folder")")
        floor+=("$(seconds decode_floor "$folder")")
    done
    local mi mo ma mf
    mi=$(printf '%s\n' "${im[@]}" | median)
    mo=$(printf '%s\n' "${one[@]}" | median)
    ma=$(printf '%s\n' "${am[@]}" | median)
    mf=$(printf '%s\n' "${floor[@]}" | median)
    printf '%s, %s frames: ImageMagick per frame %.2f s, in one call %.2f s; animmake %.2f s; libvips decoding %.2f s\n' \
        "$1" "$frames" "$mi" "$mo" "$ma" "$mf"
    printf '  speedup %.1fx (per frame), %.1fx (one call); animmake / decoding %.2f\n' \
        "$(echo "$mi / $ma" | bc -l)" "$(echo "$mo / $ma" | bc -l)" "$(echo "$ma / $mf" | bc -l)"
    rm -rf "$folder"
}

run_set "1280x720 PNG" 1280 720 png
run_set "1920x1080 JPEG" 1920 1080 jpg
