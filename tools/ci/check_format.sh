#!/usr/bin/env bash
# Fails, naming each file, when a tracked C++ file differs from what clang-format makes of it with the
# repository's .clang-format. CLANG_FORMAT chooses the program (default: clang-format, else clang-format-NN).
set -euo pipefail
cd "$(dirname "$0")/../.."

formatter="${CLANG_FORMAT:-}"
if [ -z "${formatter}" ]; then
    formatter=$(compgen -c clang-format | grep -E '^clang-format(-[0-9]+)?$' | sort -t- -k3 -rn | head -n 1 || true)
fi
if [ -z "${formatter}" ]; then
    echo "== format: no clang-format (tools/ci/install_packages.sh clang-format)"
    exit 1
fi

differing=()
while IFS= read -r -d '' file; do
    "${formatter}" --style=file "${file}" | cmp -s - "${file}" || differing+=("${file}")
done < <(git ls-files -z '*.cpp' '*.h')
if [ "${#differing[@]}" -gt 0 ]; then
    echo "== format: these files differ from ${formatter}'s layout (run ${formatter} -i on them):"
    printf '   %s\n' "${differing[@]}"
    exit 1
fi
echo "== format: every C++ file is formatted"
