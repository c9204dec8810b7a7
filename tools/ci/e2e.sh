#!/usr/bin/env bash
# End-to-end tests: builds animconv and runs it as a separate process on every case, once in a plain build
# and once with AddressSanitizer and UndefinedBehaviorSanitizer (any report on standard error fails a case).
# Run from the repository root. Needs root only for the tmpfs cases, which skip themselves otherwise.
# E2E_SANITIZE=0 leaves out the sanitizer build.
set -euo pipefail

say() { printf '== e2e: %s\n' "$*"; }

needed=()
command -v cmake >/dev/null || needed+=(cmake)
command -v ninja >/dev/null || needed+=(ninja-build)
command -v c++ >/dev/null || needed+=(g++)
[ -e /usr/include/gtest/gtest.h ] || needed+=(libgtest-dev)
if [ "${#needed[@]}" -gt 0 ]; then
    say "installing ${needed[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${needed[@]}"
fi

run_build() {
    local folder=$1
    shift
    say "configure $folder $*"
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    say "build $folder"
    cmake --build "$folder" -j2 --target animconv e2e_tests
    say "run the end-to-end tests in $folder"
    ctest --test-dir "$folder" -L e2e --output-on-failure
}

run_build build/ci-e2e
if [ "${E2E_SANITIZE:-1}" = 1 ]; then
    run_build build/ci-e2e-sanitize -DANIMCONV_SANITIZE=ON
else
    say "sanitizer build skipped (E2E_SANITIZE=${E2E_SANITIZE})"
fi
say "all end-to-end tests passed"
