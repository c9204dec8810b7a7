#!/usr/bin/env bash
# Runs the raw command-line table (raw_command_lines.tsv) one of two ways and compares standard output,
# the exit status, standard error (must stay empty) and the output file of every case:
#   run_raw_command_lines.sh TABLE FRAME_BMP linux PROGRAM
#       the Linux build, started with each case's split arguments as its argv;
#   run_raw_command_lines.sh TABLE FRAME_BMP windows WINE_RUN LAUNCHER_EXE PROGRAM_EXE
#       animconv.exe under wine, started by the launcher with each case's raw command line.
set -uo pipefail

usage() {
    echo "usage: $0 TABLE FRAME_BMP linux PROGRAM | TABLE FRAME_BMP windows WINE_RUN LAUNCHER_EXE PROGRAM_EXE" >&2
    exit 2
}
[[ $# -ge 4 ]] || usage
table=$(realpath "$1") frame=$(realpath "$2") way=$3
case "$way" in
linux)
    [[ $# -eq 4 ]] || usage
    program=$(realpath "$4")
    ;;
windows)
    [[ $# -eq 6 ]] || usage
    wine_run=$(realpath "$4") launcher=$(realpath "$5") program=$(realpath "$6")
    ;;
*) usage ;;
esac

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# Shows bytes as hex, so a difference in a Shift_JIS byte or a line end is visible.
hex() { od -An -tx1 -v "$1" | tr -s ' \n' ' '; }

fail_case() {
    echo "FAIL $1: $2"
    ok=0
}

# Starts the program in the current folder; leaves actual-stdout, actual-exit (32-bit hex, or the low 8
# bits on Linux) and actual-stderr-bytes, or returns non-zero when it could not be started.
start_linux() {
    local arguments=$1
    local -a argv=()
    local rest=$arguments
    while :; do
        argv+=("$(printf '%b' "${rest%%|*}")")
        [[ "$rest" == *"|"* ]] || break
        rest=${rest#*|}
    done
    (exec -a "${argv[0]}" "$program" "${argv[@]:1}") >actual-stdout 2>actual-stderr
    printf '%02X' $? >actual-exit
    stat -c %s actual-stderr >actual-stderr-bytes
}

start_windows() {
    local line=$1
    printf '%b' "$line" >command-line
    if ! "$wine_run" "$launcher" "$program" command-line report >actual-stdout 2>wine-stderr; then
        echo "the launcher failed: $(cat wine-stderr)"
        return 1
    fi
    local report
    report="$(tr -d '\r' <report)"
    if ! grep -qx "acp=932" <<<"$report"; then
        echo "wine did not use code page 932: $report"
        return 1
    fi
    sed -n 's/^exit=//p' <<<"$report" >actual-exit
    sed -n 's/^stderr=//p' <<<"$report" >actual-stderr-bytes
}

run_case() {
    local name=$1 line=$2 arguments=$3 exit_code=$4 stdout=$5 output=${6:-}
    local dir="$work/$name"
    mkdir -p "$dir/frames"
    cp "$frame" "$dir/frames/frame-01.bmp"
    printf '%b' "$stdout" >"$dir/expected-stdout"
    local problem
    if [[ "$way" == linux ]]; then
        problem=$(cd "$dir" && start_linux "$arguments")
        exit_code=${exit_code: -2}
    else
        problem=$(cd "$dir" && start_windows "$line")
    fi
    ok=1
    if [[ -n "$problem" ]]; then
        fail_case "$name" "$problem"
        failed=$((failed + 1))
        return
    fi
    if [[ "$(cat "$dir/actual-exit")" != "$exit_code" ]]; then
        fail_case "$name" "expected exit status $exit_code, got $(cat "$dir/actual-exit")"
    fi
    if [[ "$(cat "$dir/actual-stderr-bytes")" != 0 ]]; then
        fail_case "$name" "animconv wrote to standard error"
    fi
    if ! cmp -s "$dir/expected-stdout" "$dir/actual-stdout"; then
        fail_case "$name" "standard output differs
  expected:$(hex "$dir/expected-stdout")
  actual:  $(hex "$dir/actual-stdout")"
    fi
    if [[ -n "$output" ]]; then
        local file=${output%%=*} want=${output#*=}
        if [[ "$want" == absent ]]; then
            [[ ! -e "$dir/$file" ]] || fail_case "$name" "$file was created"
        else
            printf '%b' "$want" >"$dir/expected-tail"
            local size
            size=$(stat -c %s "$dir/expected-tail")
            if [[ ! -f "$dir/$file" ]] || ! cmp -s "$dir/expected-tail" <(tail -c "$size" "$dir/$file"); then
                fail_case "$name" "$file does not end with$(hex "$dir/expected-tail")"
            fi
        fi
    fi
    if [[ $ok -eq 1 ]]; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
}

while IFS= read -r row; do
    [[ -z "$row" || "$row" == \#* ]] && continue
    # A tab is a blank to read and empty fields would merge; the unit separator is not.
    IFS=$'\x1f' read -r name line arguments exit_code stdout output <<<"${row//$'\t'/$'\x1f'}"
    run_case "$name" "$line" "$arguments" "$exit_code" "$stdout" "$output"
done <"$table"

echo "$way: $passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
