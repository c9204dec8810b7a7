#!/usr/bin/env bash
# Starts animconv.exe under wine through the launcher with each raw command line of a table and compares
# standard output, the 32-bit exit code, standard error (must stay empty) and the output file.
#   run_raw_command_lines.sh WINE_RUN LAUNCHER_EXE ANIMCONV_EXE TABLE FRAME_BMP
set -uo pipefail

if [[ $# -ne 5 ]]; then
    echo "usage: $0 WINE_RUN LAUNCHER_EXE ANIMCONV_EXE TABLE FRAME_BMP" >&2
    exit 2
fi
wine_run=$(realpath "$1") launcher=$(realpath "$2") program=$(realpath "$3") table=$4 frame=$5

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# Shows bytes as hex, so a difference in a Shift_JIS byte or a line end is visible.
hex() { od -An -tx1 -v "$1" | tr -s ' \n' ' '; }

fail_case() {
    echo "FAIL $1: $2"
    failed=$((failed + 1))
}

run_case() {
    local name=$1 line=$2 exit_code=$3 stdout=$4 output=${5:-}
    local dir="$work/$name"
    mkdir -p "$dir/frames"
    cp "$frame" "$dir/frames/frame-01.bmp"
    printf '%b' "$line" >"$dir/command-line"
    printf '%b' "$stdout" >"$dir/expected-stdout"

    if ! (cd "$dir" && "$wine_run" "$launcher" "$program" command-line report >actual-stdout 2>wine-stderr); then
        fail_case "$name" "the launcher failed: $(cat "$dir/wine-stderr")"
        return
    fi
    local ok=1
    local report
    report="$(tr -d '\r' <"$dir/report")"
    if ! grep -qx "acp=932" <<<"$report"; then
        fail_case "$name" "wine did not use code page 932: $report"
        return
    fi
    if ! grep -qx "exit=$exit_code" <<<"$report"; then
        fail_case "$name" "expected exit=$exit_code, got $(grep '^exit=' <<<"$report")"
        ok=0
    fi
    if ! grep -qx "stderr=0" <<<"$report"; then
        fail_case "$name" "animconv wrote to standard error: $(hex "$dir/report.stderr")"
        ok=0
    fi
    if ! cmp -s "$dir/expected-stdout" "$dir/actual-stdout"; then
        fail_case "$name" "standard output differs
  expected:$(hex "$dir/expected-stdout")
  actual:  $(hex "$dir/actual-stdout")"
        ok=0
    fi
    if [[ -n "$output" ]]; then
        local file=${output%%=*} want=${output#*=}
        if [[ "$want" == absent ]]; then
            if [[ -e "$dir/$file" ]]; then
                fail_case "$name" "$file was created"
                ok=0
            fi
        else
            printf '%b' "$want" >"$dir/expected-tail"
            local size
            size=$(stat -c %s "$dir/expected-tail")
            if [[ ! -f "$dir/$file" ]] || ! cmp -s "$dir/expected-tail" <(tail -c "$size" "$dir/$file"); then
                fail_case "$name" "$file does not end with $(hex "$dir/expected-tail")"
                ok=0
            fi
        fi
    fi
    if [[ $ok -eq 1 ]]; then
        echo "ok   $name"
        passed=$((passed + 1))
    fi
}

while IFS= read -r row; do
    [[ -z "$row" || "$row" == \#* ]] && continue
    # A tab is a blank to read and empty fields would merge; the unit separator is not.
    IFS=$'\x1f' read -r name line exit_code stdout output <<<"${row//$'\t'/$'\x1f'}"
    run_case "$name" "$line" "$exit_code" "$stdout" "$output"
done <"$table"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
