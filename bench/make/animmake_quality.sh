#!/usr/bin/env bash
# Quality of animmake's dithers against the ImageMagick pipelines, on 190x170 photo-like frames (so that
# resampling plays no part): mean delta E 1976 after a sigma 1 px blur in linear light (stream_quality),
# share of unchanged pixels and stream size, for animmake ordered (default), none, diffusion, and
# ImageMagick's ordered dither and Floyd-Steinberg onto the cube, each converted by animconv use0xfe.
#
#   bench/make/animmake_quality.sh [--build DIR] [--frames N] [--scale S]
#
# The frames are drawn S times larger (default 4) and reduced to 190x170 with libvips, as photographs are;
# --scale 1 draws them at 190x170, keeping all of the generator's pixel-level grain.
set -euo pipefail
export LC_ALL=C
build=build
frames=120
scale=4
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --scale) scale=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/im-ordered" "$work/im-fs"
"$build/bench/make/make_photo_frames" 190 170 "$frames" "$work/src" png "$scale"
sources=("$work"/src/*.png)

measure() {  # NAME STREAM
    printf '%-22s %s\n' "$1" "$("$build/bench/make/stream_quality" "$2" "${sources[@]}")"
}

for dither in ordered none diffusion; do
    "$build/animmake" -q -o "$work/animmake-$dither.bin" --dither "$dither" "$work/src"
    measure "animmake $dither" "$work/animmake-$dither.bin"
done

convert_bmps() {  # FOLDER STREAM
    local args=()
    for f in "$1"/*.bmp; do args+=("$f" 10); done
    "$build/animconv" use0xfe "$2" "${args[@]}" >/dev/null
}
mogrify -path "$work/im-ordered" -format bmp -resize 190x170 -background black -gravity center -extent 190x170 \
    -ordered-dither o8x8,6 -type truecolor -define bmp:format=bmp3 "${sources[@]}"
convert_bmps "$work/im-ordered" "$work/im-ordered.bin"
measure "imagemagick o8x8,6" "$work/im-ordered.bin"
mogrify -path "$work/im-fs" -format bmp -resize 190x170 -background black -gravity center -extent 190x170 \
    -dither FloydSteinberg -remap netscape: -type truecolor -define bmp:format=bmp3 "${sources[@]}"
convert_bmps "$work/im-fs" "$work/im-fs.bin"
measure "imagemagick FS" "$work/im-fs.bin"
