#!/usr/bin/env bash
# The dithers on real footage: clips shipped in Debian packages (fetched with apt-get download into a cache
# outside the repository, skipped with a line saying so when they cannot be had), each made into a stream
# with every dither by the built animmake and measured by footage_quality against animmake's own fitted
# frames (--dither none --frames-dir). Every clip is 4:3 or square, so --fit contain gives it black bars.
# Two kinds no package ships are made from those clips with ffmpeg's command line: a phone held in the hand
# (the tripod's footage shaken by a hand's sway, with sensor noise, through H.264) and a slow pan across the
# rendered film; they are skipped with a line when ffmpeg is missing.
# Prints a Markdown table; the ratio columns divide by ordered's figure on the same clip, and the worst
# frame is the largest of each frame's dE divided by ordered's on the same frame. --extra gives every
# animmake run more options (for example --background '#202020', so that the bars are grey).
#
#   bench/make/real_footage.sh [--build DIR] [--cache DIR] [--dithers "ordered steady ..."]
#                              [--extra "OPTIONS"] [KIND...]
set -euo pipefail
export LC_ALL=C
build=build
cache=${XDG_CACHE_HOME:-$HOME/.cache}/animconv-footage
dithers="ordered search steady diffusion"
extra=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --cache) cache=$2; shift 2 ;;
        --dithers) dithers=$2; shift 2 ;;
        --extra) extra=$2; shift 2 ;;
        --*) echo "unknown argument $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# kind, package, file in it, animmake's options choosing 60-120 frames, and for a kind made from the clip,
# ffmpeg's filter
clips=(
    "talking-head|kphotoalbum|usr/share/kphotoalbum/demo/movie.avi|"
    "tripod|opencv-doc|usr/share/doc/opencv-doc/examples/data/vtest.avi|--start 20 --duration 10"
    "tree|opencv-doc|usr/share/doc/opencv-doc/examples/data/tree.avi|--duration 28"
    "screencast|five-or-more|usr/share/help/C/five-or-more/figures/glines-demo.ogv|--fps 25 --start 5 --duration 4"
    "screen-animation|gnome-user-docs|usr/share/help/C/gnome-help/figures/display-dual-monitors.webm|--fps 25 --duration 4"
    "animation|opencv-doc|usr/share/doc/opencv-doc/examples/data/Megamind.avi|--start 2 --duration 4"
    "handheld|opencv-doc|usr/share/doc/opencv-doc/examples/data/vtest.avi|--start 20 --duration 10|crop=640:480:'64+30*sin(t*2.3)+14*sin(t*5.9)+5*sin(t*13)':'48+22*sin(t*1.7)+10*sin(t*6.7)+4*sin(t*11)',noise=alls=8:allf=t"
    "pan|opencv-doc|usr/share/doc/opencv-doc/examples/data/Megamind.avi|--start 2 --duration 4|scale=960:528,crop=720:528:'min(t*40,240)':0"
)
wanted=("$@")

source "$(dirname "$0")/debian_clips.sh"

echo "| clip | frames | dither | dE | bytes | flicker | bar dots | still changes | off bracket | flat colours | dE / ordered | bytes / ordered | flicker / ordered | still / ordered | worst frame / ordered's |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for clip in "${clips[@]}"; do
    IFS='|' read -r kind package file options filter <<<"$clip"
    if [[ ${#wanted[@]} -gt 0 && ! " ${wanted[*]} " =~ " $kind " ]]; then
        continue
    fi
    path=$(clip_path "$package" "$file")
    if [[ -z "$path" ]]; then
        echo "| $kind | skipped: package $package not available | | | | | | | | | | | | | |"
        continue
    fi
    if [[ -n "$filter" ]]; then
        if ! command -v ffmpeg >/dev/null; then
            echo "| $kind | skipped: ffmpeg's command line is needed to make it | | | | | | | | | | | | | |"
            continue
        fi
        ffmpeg -loglevel error -y -i "$path" -vf "$filter" -an -c:v libx264 -preset veryfast -crf 23 \
            -pix_fmt yuv420p "$work/$kind.mp4"
        path="$work/$kind.mp4"
    fi
    rm -rf "$work/source" && mkdir "$work/source"
    # shellcheck disable=SC2086  # the options are words
    "$build/animmake" -q -f --dither none --frames-dir "$work/source" $options $extra -o "$work/none.bin" "$path"
    ordered=()
    for dither in $dithers; do
        # shellcheck disable=SC2086
        "$build/animmake" -q -f --dither "$dither" $options $extra -o "$work/$dither.bin" "$path"
        read -r _ dE _ bytes _ flicker _ dots _ still _ frames _ off _ flat _ < <(
            "$build/bench/make/footage_quality" "$work/source" "$work/$dither.bin" "$work/$dither.frames")
        if [[ ${#ordered[@]} -eq 0 ]]; then
            ordered=("$dE" "$bytes" "$flicker" "$still" "$dither")
        fi
        worst=$(paste "$work/$dither.frames" "$work/${ordered[4]}.frames" |
            awk '{ r = $1 / $2; if (r > worst) worst = r } END { printf "%.3f", worst }')
        ratio() { if [[ $(echo "$2 == 0" | bc) == 1 ]]; then echo "-"; else printf '%.3f' "$(echo "$1 / $2" | bc -l)"; fi; }
        printf '| %s | %s | %s | %.3f | %s | %.3f | %s | %.4f | %.4f | %.2f | %s | %s | %s | %s | %s |\n' "$kind" \
            "$frames" "$dither" "$dE" "$bytes" "$flicker" "$dots" "$still" "$off" "$flat" \
            "$(ratio "$dE" "${ordered[0]}")" "$(ratio "$bytes" "${ordered[1]}")" \
            "$(ratio "$flicker" "${ordered[2]}")" "$(ratio "$still" "${ordered[3]}")" "$worst"
    done
done
