#!/usr/bin/env bash
# Makes the README's pictures in docs/ from the project's own synthetic content:
#   docs/sample.gif        the sample animation (examples/) converted by animconv, previewed by animdump --gif
#   docs/animmake.gif      8 photo-like 24-bit frames (tools/frame_content.cpp) made into a stream by animmake
#                          (its default, the ordered dither, as tools/demo.sh does), previewed by animdump --gif
#   docs/dither-strip.png  frame 5 of an 8-frame photo-like sequence (tools/frame_content.cpp): the source,
#                          animconv's truncation, animmake's ordered and search dithers and its error
#                          diffusion, each with its stream's size and unchanged share over the sequence
#
#   tools/make_readme_pictures.sh                 build what is needed in build/ and write docs/
#   tools/make_readme_pictures.sh --build DIR     the same with the programs of DIR
#   tools/make_readme_pictures.sh --check         make them in a scratch folder and compare with docs/: status 1
#                                                 when they differ, 77 (skipped) when a program is not built
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
check=false
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build="$(cd "$2" && pwd)"; shift 2 ;;
        --check) check=true; shift ;;
        *) echo "usage: $0 [--build DIR] [--check]" >&2; exit 2 ;;
    esac
done

programs=(animconv animdump animmake readme_pictures)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
if ! $check; then
    [[ -f "$build/CMakeCache.txt" ]] || (cd "$root" && cmake --preset default)
    cmake --build "$build" -j2 --target "${programs[@]}"
fi
for program in "${programs[@]}"; do
    if [[ ! -x "$build/$program" ]]; then
        echo "SKIPPED: $build/$program is not built (animdump needs giflib and libpng, animmake and" \
            "readme_pictures libvips-dev)"
        $check && exit 77
        exit 1
    fi
done
if [[ ! -f $font ]]; then
    echo "SKIPPED: the labels' font $font is missing (Debian package fonts-dejavu-core)"
    $check && exit 77
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
out="$root/docs"
$check && out="$work/docs"
mkdir -p "$out"

run() { "$build/$1" "${@:2}"; }

# The sample animation, 10 hundredths a frame.
arguments=()
for frame in "$root"/examples/frame-*.bmp; do
    arguments+=("$frame" 10)
done
run animconv use0xfe "$work/sample.bin" "${arguments[@]}" >/dev/null
run animdump --gif "$out/sample.gif" "$work/sample.bin" >/dev/null

# The strip: one stream per way of reaching the colour cube, over the same frames.
frames=8
shown=5
mkdir -p "$work/photo"
run readme_pictures frames "$work/photo" "$frames"
arguments=()
for frame in "$work"/photo/frame-*.bmp; do
    arguments+=("$frame" 10)
done
run animconv use0xfe "$work/truncation.bin" "${arguments[@]}" >/dev/null
run animmake -q -w 10 -o "$work/ordered.bin" "$work/photo"
run animmake -q -w 10 --dither search -o "$work/search.bin" "$work/photo"
run animmake -q -w 10 --dither diffusion -o "$work/diffusion.bin" "$work/photo"
run animdump --gif "$out/animmake.gif" "$work/ordered.bin" >/dev/null

# "12,345 bytes, 67% unchanged" from animdump's totals line.
figures() {
    local totals
    run animdump --png "$work/png-$1" "$work/$1.bin" >"$work/$1.txt"
    totals="$(grep '^total: ' "$work/$1.txt")"
    [[ $totals =~ ^total:\ ([0-9]+)\ frames,\ ([0-9]+)\ bytes,\ [0-9]+\ runs,\ ([0-9]+)\ unchanged ]] || {
        echo "unexpected totals line: $totals" >&2
        exit 1
    }
    local bytes share
    bytes="$(sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"${BASH_REMATCH[2]}")"
    share=$(((BASH_REMATCH[3] * 100 + BASH_REMATCH[1] * 32300 / 2) / (BASH_REMATCH[1] * 32300)))
    echo "$bytes bytes, $share% unchanged"
}
truncation="$(figures truncation)"
search="$(figures search)"
ordered="$(figures ordered)"
diffusion="$(figures diffusion)"
picture="$(printf 'frame-%04d.png' "$shown")"
run readme_pictures strip "$out/dither-strip.png" "$shown" \
    "source (24-bit)"$'\n'"$frames photo-like frames" \
    "$work/png-truncation/$picture" "animconv (truncation)"$'\n'"$truncation" \
    "$work/png-ordered/$picture" "animmake (ordered)"$'\n'"$ordered" \
    "$work/png-search/$picture" "animmake --dither search"$'\n'"$search" \
    "$work/png-diffusion/$picture" "animmake --dither diffusion"$'\n'"$diffusion"

if $check; then
    status=0
    for picture in sample.gif animmake.gif dither-strip.png; do
        if ! cmp -s "$out/$picture" "$root/docs/$picture"; then
            echo "docs/$picture is not what tools/make_readme_pictures.sh makes now: run it and commit docs/"
            status=1
        fi
    done
    [[ $status -eq 0 ]] && echo "docs/sample.gif, docs/animmake.gif and docs/dither-strip.png are up to date"
    exit $status
fi
echo "wrote $out/sample.gif, $out/animmake.gif and $out/dither-strip.png"
