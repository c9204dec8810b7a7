#!/usr/bin/env bash
# Size of animdump --gif's previews against the same GIF after gifsicle -O3 (installed here when missing:
# gifsicle is a peer to measure against, nothing of the project uses it), on generated streams: the photo
# frames of make_photo_frames (a ball moving over a still scene), and dither_bench's four kinds of content,
# each made by animmake with its default dither, and any videos given (real footage: see
# ../shared/notes/real-material.md), made by animmake with its defaults. With --win32, the Windows build's
# animdump.exe previews the same streams under wine (tools/win32/wine-run.sh; its prefix is made on first use).
#
#   bench/make/gif_preview_size.sh [--build DIR] [--win32 DIR] [--video FILE]...
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$0")/../.." && pwd)"
build=build
win32=
videos=()
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --win32) win32=$(cd "$2" && pwd); shift 2 ;;
        --video) videos+=("$(realpath "$2")"); shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
if ! command -v gifsicle >/dev/null; then
    apt-get install -y gifsicle >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
if [[ -n $win32 ]]; then
    printf '| stream | frames | stream bytes | animdump --gif | gifsicle -O3 of it | ratio '
    printf '| animdump.exe --gif | gifsicle -O3 of it | ratio |\n|---|---|---|---|---|---|---|---|---|\n'
else
    printf '| stream | frames | stream bytes | animdump --gif | gifsicle -O3 of it | ratio |\n|---|---|---|---|---|---|\n'
fi
# preview PROGRAM... NAME: "GIF bytes | gifsicle -O3 bytes | ratio" of PROGRAM --gif on NAME's stream.
preview() {
    local name=${*: -1}
    "${@:1:$#-1}" --gif "$work/$name.gif" "$work/${name%-*}.bin" >/dev/null
    gifsicle -O3 "$work/$name.gif" -o "$work/$name-O3.gif"
    local gif o3
    gif=$(stat -c %s "$work/$name.gif")
    o3=$(stat -c %s "$work/$name-O3.gif")
    printf '%d | %d | %s' "$gif" "$o3" "$(ratio "$gif" "$o3")"
}
measure() {  # NAME INPUT [ANIMMAKE OPTIONS...]
    local name=$1 input=$2
    shift 2
    "$build/animmake" -q "$@" -o "$work/$name.bin" "$input"
    local frames
    frames=$("$build/animdump" "$work/$name.bin" | sed -n 's/^total: \([0-9]*\) frames.*/\1/p')
    printf '| %s | %d | %d | %s |' "$name" "$frames" "$(stat -c %s "$work/$name.bin")" \
        "$(preview "$build/animdump" "$name-linux")"
    if [[ -n $win32 ]]; then
        printf ' %s |' "$(preview "$root/tools/win32/wine-run.sh" "$win32/animdump.exe" "$name-win32")"
    fi
    printf '\n'
}
mkdir -p "$work/photo"
"$build/bench/make/make_photo_frames" 190 170 120 "$work/photo" png 4
measure photo "$work/photo" -w 4
for kind in still phone pan screen; do
    mkdir -p "$work/$kind"
    "$build/bench/make/dither_bench" --write "$kind" "$work/$kind"
    measure "$kind" "$work/$kind" -w 4
done
for video in "${videos[@]}"; do
    name=$(basename "$video")
    measure "${name%.*}" "$video"
done
