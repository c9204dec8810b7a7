#!/usr/bin/env bash
# animstudio against animmake on one 1080p clip: the time from the upload's end to the first frame the page
# can draw, and the whole making through the page's API against animmake's own run (ratio, same run, the
# same bytes checked). The clip is generated with the ffmpeg command-line tool (1920x1080 H.264, a moving
# picture with detail everywhere), or CLIP=path uses another.
#
#   bench/studio/studio_vs_animmake.sh [BUILD_DIR] [SECONDS] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-10}"
rounds="${3:-5}"
for program in animmake animstudio; do
    [[ -x $build/$program ]] || { echo "missing $build/$program: build it first" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl not found (Debian: curl)" >&2; exit 2; }
work="$(mktemp -d)"
studio_pid=""
cleanup() {
    [[ -n $studio_pid ]] && kill "$studio_pid" 2>/dev/null && wait "$studio_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

clip="${CLIP:-}"
if [[ -z $clip ]]; then
    command -v ffmpeg >/dev/null || { echo "ffmpeg not found (Debian: ffmpeg), or give CLIP=path" >&2; exit 2; }
    clip="$work/clip-1080p.mp4"
    ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$seconds" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p "$clip"
fi
now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

echo "clip: $clip ($(stat -c %s "$clip") bytes), $rounds rounds"
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$build/animstudio" --no-browser --quiet --idle-exit 0 >"$work/studio.out" &
studio_pid=$!
for _ in $(seq 100); do
    [[ -s $work/studio.out ]] && break
    sleep 0.05
done
address="$(head -n 1 "$work/studio.out")"
base="${address%%/\?*}"
token="${address##*token=}"
api() { curl -sS -H "X-Studio-Token: $token" -H "Origin: $base" "$@"; }

# Rounds of animmake's run, then the same through the studio (upload, make, wait): the machine may be shared,
# so each round's ratio is of two runs side by side in time, and the median ratio is reported.
ratios=()
firsts=()
for round in $(seq "$rounds"); do
    start="$(now)"
    "$build/animmake" -q -f -o "$work/animmake.bin" "$clip"
    animmake_time="$(elapsed "$start" "$(now)")"

    upload_start="$(now)"
    file="$(api -H "X-File-Name: clip.mp4" --data-binary @"$clip" "$base/api/files")"
    upload_end="$(now)"
    id="$(sed -n 's/.*"id": "\([^"]*\)".*/\1/p' <<<"$file")"
    job="$(api -d "{\"files\": [\"$id\"], \"settings\": {}}" "$base/api/make" |
        sed -n 's/.*"job": "\([^"]*\)".*/\1/p')"
    until api -D - -o /dev/null "$base/api/jobs/$job/frames?from=0" | grep -qi '^X-Frames-Done: [1-9]'; do
        sleep 0.005
    done
    first_frame="$(elapsed "$upload_end" "$(now)")"
    # Asked every 0.1 s (each ask is a curl process, which takes a core's time from the making): the end is
    # seen up to 0.1 s late.
    until api "$base/api/jobs/$job" | grep -q '"state": "done"'; do
        sleep 0.1
    done
    studio_time="$(elapsed "$upload_end" "$(now)")"
    api -o "$work/studio.bin" "$base/api/jobs/$job/stream"
    cmp -s "$work/animmake.bin" "$work/studio.bin" && same="the same bytes" || same="DIFFERENT BYTES"
    ratio="$(echo "$studio_time / $animmake_time" | bc -l)"
    ratios+=("$ratio")
    firsts+=("$first_frame")
    printf 'round %d: upload %.3f s; first frame %.3f s after it; making: animmake %.2f s, animstudio %.2f s, ratio %.3f; %s\n' \
        "$round" "$(elapsed "$upload_start" "$upload_end")" "$first_frame" "$animmake_time" "$studio_time" "$ratio" "$same"
done
api -X POST -d '' "$base/api/quit" >/dev/null
wait "$studio_pid" || true
studio_pid=""
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
printf 'median: first frame %.3f s after the upload ended; animstudio / animmake making time %.3f\n' \
    "$(median "${firsts[@]}")" "$(median "${ratios[@]}")"
