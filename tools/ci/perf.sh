#!/usr/bin/env bash
# CI for the benchmarks and the lean frame path: builds with the benchmarks, runs the test suite (the encoder
# and decoder equivalence tests are part of it), checks the system calls per frame, and runs the stage and
# whole-process benchmarks briefly so that they keep working. No timing is asserted: the machine is shared.
# Run from the repository root.
set -euo pipefail

build=build-perf-ci
need=()
dpkg -s libbenchmark-dev >/dev/null 2>&1 || need+=(libbenchmark-dev)
command -v strace >/dev/null || need+=(strace)
[[ -x /usr/bin/time ]] || need+=(time)
if [[ ${#need[@]} -gt 0 ]]; then
    echo "== installing ${need[*]}"
    apt-get update -qq
    apt-get install -y -qq "${need[@]}" >/dev/null
fi

echo "== configure and build (Release, benchmarks on)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DANIMCONV_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2

echo "== test suite"
ctest --test-dir "$build" --output-on-failure

echo "== system calls per frame"
bench/syscalls_per_frame.sh --build "$build" --check
bench/syscalls_per_frame.sh --build "$build" --mode no0xfe --kind noise --check

echo "== stage benchmarks (short run)"
"$build/bench/stage_bench" --benchmark_min_time=0.01

echo "== whole-process benchmark (short run: 100 frames, 3 pairs)"
bench/whole_process.sh --build "$build" --frames 100 --repeats 3

echo "== perf CI passed"
