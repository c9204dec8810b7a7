#!/usr/bin/env bash
# animmake on video against the two-step pipeline people use today: ffmpeg's command line to PNG files,
# then animmake over the folder. Same clip, interleaved R times in one run; prints the median seconds of
# each, frames a second (frames written over wall-clock seconds) and the ratio of the medians. Then animmake's
# peak resident memory (/usr/bin/time -v) on 1 and 10 minutes of 1920x1080 H.264.
#
#   bench/make/animmake_video.sh [--build DIR] [--seconds S] [--repeats R] [--no-speed] [--no-memory]
#
# Clips (made here with ffmpeg's command line, installed when missing): S seconds of 1920x1080 H.264 and of
# 1280x720 VP9 at 30 fps, a moving test pattern with film-like noise so that every frame costs decoding;
# the memory clips are one minute of the pattern, and that minute joined ten times without re-encoding.
# Run it under `nice -n 10` on a shared machine.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/../.."
build=build
clip_seconds=10
repeats=3
speed=yes
memory=yes
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --seconds) clip_seconds=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --no-speed) speed=no; shift ;;
        --no-memory) memory=no; shift ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
command -v ffmpeg >/dev/null || tools/ci/install_packages.sh ffmpeg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source bench/make/timing.sh
frames_of() { "$build/animdump" "$1" | awk '/^total:/ { print $2 }'; }

two_step() {  # CLIP
    rm -rf "$work/png" && mkdir "$work/png"
    ffmpeg -v error -i "$1" "$work/png/%06d.png"
    "$build/animmake" -q -f -o "$work/two-step.bin" "$work/png"
}
direct() { "$build/animmake" -q -f -o "$work/direct.bin" "$1"; }

clip() {  # NAME SIZE CODEC_OPTIONS... : S seconds of the pattern
    local name=$1 size=$2
    shift 2
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=30,noise=alls=12:allf=t" -t "$clip_seconds" \
        -pix_fmt yuv420p "$@" "$work/$name"
}

speed_runs() {
    clip h264-1080p.mp4 1920x1080 -c:v libx264 -preset veryfast -crf 23
    clip vp9-720p.webm 1280x720 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 2M

    printf '%-22s %8s %10s %10s %12s %12s %7s\n' clip frames "two-step" direct "two-step/s" "direct/s" ratio
    for name in h264-1080p.mp4 vp9-720p.webm; do
        two=() one=()
        for ((r = 0; r < repeats; ++r)); do
            two+=("$(seconds two_step "$work/$name")")
            one+=("$(seconds direct "$work/$name")")
        done
        frames=$(frames_of "$work/direct.bin")
        [[ $frames == "$(frames_of "$work/two-step.bin")" ]] || { echo "frame counts differ" >&2; exit 1; }
        two_median=$(printf '%s\n' "${two[@]}" | median)
        one_median=$(printf '%s\n' "${one[@]}" | median)
        printf '%-22s %8s %9.2fs %9.2fs %12.1f %12.1f %6.2fx\n' "$name" "$frames" "$two_median" "$one_median" \
            "$(echo "$frames / $two_median" | bc -l)" "$(echo "$frames / $one_median" | bc -l)" \
            "$(echo "$two_median / $one_median" | bc -l)"
    done
}
if [[ $speed == yes ]]; then speed_runs; fi

[[ $memory == yes ]] || exit 0
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30" -t 60 -pix_fmt yuv420p -c:v libx264 \
    -preset ultrafast -g 60 "$work/minute.mp4"
for ((i = 0; i < 10; ++i)); do echo "file '$work/minute.mp4'"; done >"$work/ten.txt"
ffmpeg -v error -y -f concat -safe 0 -i "$work/ten.txt" -c copy "$work/ten-minutes.mp4"
for name in minute.mp4 ten-minutes.mp4; do
    /usr/bin/time -v "$build/animmake" -q -f -o "$work/memory.bin" "$work/$name" 2>"$work/time.txt"
    kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time.txt")
    printf '1920x1080 H.264 %-16s %6s frames  peak %6.1f MiB  %s\n' "$name" "$(frames_of "$work/memory.bin")" \
        "$(echo "$kib / 1024" | bc -l)" "$wall"
done
