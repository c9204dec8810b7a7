#!/usr/bin/env bash
# CI for the benchmarks and the lean frame path: a Release build with the benchmarks (build-perf-ci), the
# encoder and decoder equivalence tests at that optimisation, the system calls per frame, and short runs of
# the stage and whole-process benchmarks so that they keep working. No timing is asserted: the machine is
# shared.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build-perf-ci
tools/ci/install_packages.sh cmake ninja-build g++ libgtest-dev libbenchmark-dev strace time

echo "== configure and build (Release, benchmarks on)"
cmake -S . -B "$build" -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DCMAKE_BUILD_TYPE=Release -DANIMCONV_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2

echo "== the lean encoder and decoder against their references, Release"
ctest --test-dir "$build" --output-on-failure -R Equivalence

echo "== system calls per frame"
bench/syscalls_per_frame.sh --build "$build" --check
bench/syscalls_per_frame.sh --build "$build" --mode no0xfe --kind noise --check

echo "== stage benchmarks (short run)"
"$build/bench/stage_bench" --benchmark_min_time=0.01

echo "== whole-process benchmark (short run: 100 frames, 3 pairs)"
bench/whole_process.sh --build "$build" --frames 100 --repeats 3

echo "== perf CI passed"
