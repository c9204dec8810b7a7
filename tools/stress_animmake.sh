#!/usr/bin/env bash
# Runs animmake many times and counts the runs that end with a non-zero status (a crash at exit shows as
# 139, a sanitizer report as its exit code). Short runs (8 small PNG and JPEG frames) stress start-up and
# shut-down; long runs (a folder of large PNGs) stress the pipeline's threads. Not part of CI.
#
#   tools/stress_animmake.sh [--build DIR] [--short N] [--long N] [--frames N] [--size WxH]
#                            [--sanitizer none|address|thread] [--log DIR]
#
# --sanitizer sets the sanitizer's options and the suppressions in tools/stress/ for a build made with it,
# for example: cmake --preset sanitize && cmake --build --preset sanitize --target animmake make_photo_frames
# then tools/stress_animmake.sh --build build-sanitize --sanitizer address. Defaults: build/, 1000 short
# runs, 200 long runs of 120 1280x720 frames.
set -uo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
short=1000
long=200
frames=120
size=1280x720
sanitizer=none
log=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --short) short=$2; shift 2 ;;
        --long) long=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --sanitizer) sanitizer=$2; shift 2 ;;
        --log) log=$2; shift 2 ;;
        *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
animmake=$build/animmake
# The inputs come from the plain build's generator when there is one: only animmake is under test.
make_frames=$root/build/bench/make/make_photo_frames
[[ -x $make_frames ]] || make_frames=$build/bench/make/make_photo_frames
for program in "$animmake" "$make_frames"; do
    [[ -x $program ]] || { echo "missing $program: build it first" >&2; exit 2; }
done

suppressions=$root/tools/stress
case "$sanitizer" in
    none) ;;
    address)
        export ASAN_OPTIONS=detect_leaks=1:exitcode=86
        export LSAN_OPTIONS=suppressions=$suppressions/lsan_suppressions.txt
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=87 ;;
    thread)
        export TSAN_OPTIONS=suppressions=$suppressions/tsan_suppressions.txt:exitcode=88:report_thread_leaks=1 ;;
    *) echo "unknown sanitizer $sanitizer" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[[ -n $log ]] || log=$work/log
mkdir -p "$log" "$work/short/j" "$work/long"
env -u ASAN_OPTIONS -u TSAN_OPTIONS "$make_frames" 320 240 4 "$work/short" png >/dev/null || exit 2
env -u ASAN_OPTIONS -u TSAN_OPTIONS "$make_frames" 320 240 4 "$work/short/j" jpg >/dev/null || exit 2
mv "$work/short/j"/*.jpg "$work/short/" && rmdir "$work/short/j"
env -u ASAN_OPTIONS -u TSAN_OPTIONS "$make_frames" "${size%x*}" "${size#*x}" "$frames" "$work/long" png >/dev/null || exit 2

# KIND COUNT INPUT: COUNT runs; each non-zero status is counted and its standard error kept in the log.
runs() {
    local kind=$1 count=$2 input=$3 failed=0 status i
    declare -A statuses=()
    local start=$SECONDS
    for ((i = 1; i <= count; ++i)); do
        "$animmake" -q -f -o "$work/out.bin" "$input" 2>"$work/err.txt"
        status=$?
        if [[ $status -ne 0 ]]; then
            failed=$((failed + 1))
            statuses[$status]=$((${statuses[$status]:-0} + 1))
            cp "$work/err.txt" "$log/$kind-$i-status-$status.txt"
        elif [[ -s $work/err.txt ]]; then
            cp "$work/err.txt" "$log/$kind-$i-stderr.txt"
        fi
    done
    local detail=""
    for status in "${!statuses[@]}"; do
        detail+=" status $status: ${statuses[$status]};"
    done
    echo "$kind runs: $count, non-zero: $failed${detail:+ (${detail# })} in $((SECONDS - start)) s"
    [[ $failed -eq 0 ]]
}

echo "animmake: $animmake (sanitizer: $sanitizer)"
result=0
runs short "$short" "$work/short" || result=1
runs long "$long" "$work/long" || result=1
if [[ -n $(ls -A "$log") ]]; then
    echo "standard error of the runs that wrote any: $log"
    [[ $log == "$work/log" ]] && { cp -r "$log" "${TMPDIR:-/tmp}/stress-animmake-log.$$"; echo "(kept in ${TMPDIR:-/tmp}/stress-animmake-log.$$)"; }
fi
exit $result
