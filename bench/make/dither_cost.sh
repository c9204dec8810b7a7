#!/usr/bin/env bash
# What each dither costs animmake's whole run, as ratios to ordered's, on the inputs where it shows most:
# - N 1280x720 PNG frames (made by make_photo_frames), with libvips decoding alone (vips_decode_floor) beside;
# - with --video, 1920x1080 H.264 clips made with ffmpeg's command line from real footage in Debian packages
#   (fetched into a cache outside the repository, skipped with a line when they cannot be had): a rendered
#   film scaled up (opencv-doc's Megamind.avi), the same film panned and zoomed so that every pixel moves,
#   and a webcam's talking head scaled up, its noise everywhere (kphotoalbum's demo movie.avi).
# - with --kinds, one of every kind of input from the same film: 720x576 (SD), 1280x720 and 1920x1080
#   H.264, an animated GIF (480 wide, 12 a second) and 1280x720 PNG frames.
# Every dither runs R times, interleaved in one run; prints the median wall-clock and processor (user +
# system) seconds of each and their ratios to ordered's. On a shared machine run it under a steady load.
#
#   bench/make/dither_cost.sh [--build DIR] [--frames N] [--repeats R] [--dithers "ordered search ..."]
#                             [--video | --kinds] [--cache DIR]
set -euo pipefail
export LC_ALL=C
build=build
frames=120
repeats=5
video=no
cache=${XDG_CACHE_HOME:-$HOME/.cache}/animconv-footage
dithers=(ordered search steady none diffusion)  # ordered first: the others are divided by it
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --dithers) read -r -a dithers <<<"$2"; shift 2 ;;
        --video) video=yes; shift ;;
        --kinds) video=kinds; shift ;;
        --cache) cache=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "$0")/timing.sh"
source "$(dirname "$0")/debian_clips.sh"

animmake() { "$build/animmake" -q -f --dither "$1" -o "$work/animmake.bin" "$2"; }
decode_floor() { "$build/bench/make/vips_decode_floor" "$work"/frames/*; }

# compare TITLE INPUT [floor]: every dither on INPUT (and the decoding floor), R times interleaved.
compare() {
    local title=$1 input=$2 floor=${3:-} name r wall cpu
    local -A walls cpus
    local names=("${dithers[@]}")
    [[ -n "$floor" ]] && names+=(decoding)
    for ((r = 0; r < repeats; ++r)); do
        for name in "${names[@]}"; do
            if [[ "$name" == decoding ]]; then
                read -r wall cpu < <(wall_and_cpu decode_floor)
            else
                read -r wall cpu < <(wall_and_cpu animmake "$name" "$input")
            fi
            walls[$name]+="$wall "
            cpus[$name]+="$cpu "
        done
    done
    local ordered ordered_cpu median_wall median_cpu
    ordered=$(printf '%s\n' ${walls[ordered]} | median)
    ordered_cpu=$(printf '%s\n' ${cpus[ordered]} | median)
    echo "$title, median of $repeats:"
    for name in "${names[@]}"; do
        median_wall=$(printf '%s\n' ${walls[$name]} | median)
        median_cpu=$(printf '%s\n' ${cpus[$name]} | median)
        printf '  %-10s %6.2f s  %.3f x ordered   processor %6.2f s  %.3f x ordered\n' "$name" "$median_wall" \
            "$(echo "$median_wall / $ordered" | bc -l)" "$median_cpu" "$(echo "$median_cpu / $ordered_cpu" | bc -l)"
    done
}

if [[ "$video" == no ]]; then
    mkdir -p "$work/frames"
    "$build/bench/make/make_photo_frames" 1280 720 "$frames" "$work/frames" png
    compare "1280x720 PNG, $frames frames" "$work/frames" floor
    exit 0
fi

command -v ffmpeg >/dev/null || { echo "ffmpeg's command line is needed to make the clips" >&2; exit 2; }
film=$(clip_path opencv-doc usr/share/doc/opencv-doc/examples/data/Megamind.avi)
if [[ "$video" == kinds ]]; then
    [[ -n "$film" ]] || { echo "skipped: package opencv-doc not available"; exit 0; }
    h264=(-an -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p)
    for size in 720x576 1280x720 1920x1080; do
        ffmpeg -loglevel error -i "$film" -vf "scale=${size/x/:}" "${h264[@]}" "$work/film-$size.mp4"
        compare "$size H.264, a rendered film (Megamind.avi scaled, 11 s)" "$work/film-$size.mp4"
    done
    ffmpeg -loglevel error -i "$film" -t 6 \
        -vf "fps=12,scale=480:-2,split[a][b];[a]palettegen[p];[b][p]paletteuse" "$work/film.gif"
    compare "animated GIF, 480x352, 72 frames (the film's first 6 s)" "$work/film.gif"
    mkdir -p "$work/frames"
    "$build/bench/make/make_photo_frames" 1280 720 "$frames" "$work/frames" png
    compare "1280x720 PNG, $frames frames" "$work/frames"
    exit 0
fi
head=$(clip_path kphotoalbum usr/share/kphotoalbum/demo/movie.avi)
h264=(-an -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p)
if [[ -n "$film" ]]; then
    ffmpeg -loglevel error -i "$film" -vf scale=1920:1080 "${h264[@]}" "$work/film.mp4"
    compare "1920x1080 H.264, a rendered film (Megamind.avi scaled, 11 s)" "$work/film.mp4"
    ffmpeg -loglevel error -i "$film" \
        -vf "scale=2400:1350,crop=1920:1080:'min(t*40,480)':'min(t*15,270)'" "${h264[@]}" "$work/pan.mp4"
    compare "1920x1080 H.264, the film panned: every pixel moves" "$work/pan.mp4"
else
    echo "skipped the film: package opencv-doc not available"
fi
if [[ -n "$head" ]]; then
    ffmpeg -loglevel error -stream_loop 3 -i "$head" -vf scale=1920:1080 "${h264[@]}" "$work/head.mp4"
    compare "1920x1080 H.264, a webcam's talking head scaled (18 s): its noise everywhere" "$work/head.mp4"
else
    echo "skipped the talking head: package kphotoalbum not available"
fi
