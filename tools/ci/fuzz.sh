#!/usr/bin/env bash
# Bounded fuzz run for CI: builds the fuzz targets with libFuzzer, AddressSanitizer and UndefinedBehavior-
# Sanitizer in build-fuzz/, runs each for FUZZ_SECONDS (default 50; four targets, under four minutes in
# all) starting from its seed corpus and crashers, and fails on any finding. The compiler is FUZZ_CXX, or
# the first clang++ on PATH that links a libFuzzer program.
set -euo pipefail
cd "$(dirname "$0")/../.."

FUZZ_SECONDS="${FUZZ_SECONDS:-50}"
BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
TARGETS=(bmp pipeline command_line stream)

tools/ci/install_packages.sh cmake ninja-build libgtest-dev clang libclang-rt-dev

# Any clang++ whose libFuzzer runtime is installed will do.
links_fuzzer() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
        "$1" -x c++ -fsanitize=fuzzer - -o "${BUILD_DIR}.probe" >/dev/null 2>&1
}
mkdir -p "${BUILD_DIR}"
compiler="${FUZZ_CXX:-}"
if [ -z "${compiler}" ]; then
    for candidate in clang++ $(compgen -c clang++- | grep -E '^clang\+\+-[0-9]+$' | sort -t- -k2 -rn); do
        if links_fuzzer "${candidate}"; then
            compiler="${candidate}"
            break
        fi
    done
fi
rm -f "${BUILD_DIR}.probe"
if [ -z "${compiler}" ]; then
    echo "== fuzz: no clang++ that links libFuzzer programs (set FUZZ_CXX)"
    exit 1
fi

echo "== fuzz: building the targets in ${BUILD_DIR} with ${compiler}"
cmake -S . -B "${BUILD_DIR}" -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="${compiler}" -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    -DANIMCONV_SANITIZE=ON -DANIMCONV_FUZZ_ENGINE=ON >/dev/null
cmake --build "${BUILD_DIR}" -j2 --target "${TARGETS[@]/#/fuzz_}"

findings_dir="${BUILD_DIR}/findings"
rm -rf "${findings_dir}"
mkdir -p "${findings_dir}"
failed=()
for target in "${TARGETS[@]}"; do
    # libFuzzer adds what it learns to the first corpus folder: a scratch copy, not the committed seeds.
    work_corpus="${BUILD_DIR}/corpus-work/${target}"
    rm -rf "${work_corpus}"
    mkdir -p "${work_corpus}"
    log="${findings_dir}/${target}.log"
    echo "== fuzz: ${target} for ${FUZZ_SECONDS} s"
    set +e
    "${BUILD_DIR}/tests/fuzz/fuzz_${target}" "${work_corpus}" "tests/fuzz/corpus/${target}" \
        "tests/fuzz/crashers/${target}" \
        -max_total_time="${FUZZ_SECONDS}" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="${findings_dir}/${target}-" >"${log}" 2>&1
    status=$?
    set -e
    executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "${log}" | grep -o '[0-9]*$' || echo "?")
    echo "   executions: ${executions}, exit status: ${status}"
    if [ "${status}" -ne 0 ]; then
        failed+=("${target}")
        tail -n 40 "${log}"
        for artifact in "${findings_dir}/${target}-"*; do
            [ -e "${artifact}" ] || continue
            echo "   reproducer: ${artifact}"
            echo "   keep it:    cp '${artifact}' tests/fuzz/crashers/${target}/ && git add tests/fuzz/crashers/${target}"
        done
    fi
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "== fuzz: FAILED: findings in ${failed[*]} (logs in ${findings_dir})"
    exit 1
fi
echo "== fuzz: no findings"
