# Sourced by the animmake benchmarks: wall-clock seconds of a command, the median of numbers on stdin.
seconds() {  # COMMAND...: wall-clock seconds of the command, its output dropped
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
