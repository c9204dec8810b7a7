#!/usr/bin/env bash
# System calls per frame of animconv, counted with strace: a run of 10 frames and a run of 20 frames,
# the difference divided by 10, so that process start and exit drop out.
#
#   bench/syscalls_per_frame.sh [--build DIR] [--mode use0xfe|no0xfe] [--kind flat|photo|noise] [--check]
#
# With --check it fails unless each frame makes at most: input open, fstat, lock, read, close; output
# open, lock, seek, one write, close; and the four console writes of the two messages.
# Paths are taken from the repository root.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

build=build
mode=use0xfe
kind=photo
check=false
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --mode) mode=$2; shift 2 ;;
        --kind) kind=$2; shift 2 ;;
        --check) check=true; shift ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
tools/ci/install_packages.sh strace
cmake --build "$build" -j2 --target animconv make_bench_frames >/dev/null
animconv=$(realpath "$build/animconv")

work=$(mktemp -d "${TMPDIR:-/tmp}/animconv-syscalls.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/make_bench_frames" "$work" "$kind" 20

# Prints "name count" for every system call of a run over the first $1 frames.
count_calls() {
    local pairs=() i
    for ((i = 0; i < $1; i++)); do pairs+=("$(printf '%s/frame-%04d.bmp' "$work" "$i")" 10); done
    rm -f "$work/out.anim"
    strace -f -qq -o "$work/trace" "$animconv" "$mode" "$work/out.anim" "${pairs[@]}" >/dev/null
    sed -E 's/^[0-9]+ +//; s/\(.*//' "$work/trace" | grep -E '^[a-z_0-9]+$' | sort | uniq -c | awk '{ print $2, $1 }'
}
count_calls 10 >"$work/ten"
count_calls 20 >"$work/twenty"

echo "system calls per frame ($mode, $kind content):"
join -a 2 -e 0 -o 0,1.2,2.2 "$work/ten" "$work/twenty" | awk '
    { per = ($3 - $2) / 10; if (per > 0) { printf "  %-12s %g\n", $1, per; total += per } }
    END { printf "  %-12s %g\n", "total", total }' | tee "$work/per-frame"

if $check; then
    # name and the most allowed per frame
    limits="openat 2
close 2
read 1
newfstatat 1
flock 2
lseek 1
write 5"
    failed=false
    while read -r name per; do
        [[ $name == total ]] && continue
        allowed=$(awk -v n="$name" '$1 == n { print $2 }' <<<"$limits")
        if [[ -z $allowed ]] || awk -v p="$per" -v a="$allowed" 'BEGIN { exit !(p > a) }'; then
            echo "FAIL: $name $per per frame (allowed ${allowed:-0})"
            failed=true
        fi
    done <"$work/per-frame"
    $failed && exit 1
    echo "system calls per frame within the limits"
fi
