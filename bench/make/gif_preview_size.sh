#!/usr/bin/env bash
# Size of animdump --gif's previews against the same GIF after gifsicle -O3 (installed here when missing:
# gifsicle is a peer to measure against, nothing of the project uses it), on generated streams: the photo
# frames of make_photo_frames (a ball moving over a still scene), and dither_bench's four kinds of content,
# each made by animmake with its default dither.
#
#   bench/make/gif_preview_size.sh [--build DIR]
set -euo pipefail
export LC_ALL=C
build=build
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
if ! command -v gifsicle >/dev/null; then
    apt-get install -y gifsicle >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '| stream | frames | stream bytes | animdump --gif | gifsicle -O3 of it | ratio |\n|---|---|---|---|---|---|\n'
measure() {  # NAME FOLDER
    "$build/animmake" -q -w 4 -o "$work/$1.bin" "$2"
    "$build/animdump" --gif "$work/$1.gif" "$work/$1.bin" >/dev/null
    gifsicle -O3 "$work/$1.gif" -o "$work/$1-O3.gif"
    local frames gif o3
    frames=$(ls "$2" | wc -l)
    gif=$(stat -c %s "$work/$1.gif")
    o3=$(stat -c %s "$work/$1-O3.gif")
    printf '| %s | %d | %d | %d | %d | %.3f |\n' "$1" "$frames" "$(stat -c %s "$work/$1.bin")" "$gif" "$o3" \
        "$(awk -v a="$gif" -v b="$o3" 'BEGIN { print a / b }')"
}
mkdir -p "$work/photo"
"$build/bench/make/make_photo_frames" 190 170 120 "$work/photo" png 4
measure photo "$work/photo"
for kind in still phone pan screen; do
    mkdir -p "$work/$kind"
    "$build/bench/make/dither_bench" --write "$kind" "$work/$kind"
    measure "$kind" "$work/$kind"
done
