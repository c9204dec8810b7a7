# Sourced by the animmake benchmarks: wall-clock seconds of a command, the median of numbers on stdin.
seconds() {  # COMMAND...: wall-clock seconds of the command, its output dropped
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cpu_seconds() {  # COMMAND...: user plus system seconds of the command and its threads, output dropped
    local TIMEFORMAT='%U %S' times
    times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    echo "${times% *} + ${times#* }" | bc -l
}
wall_and_cpu() {  # COMMAND...: "WALL CPU", the wall-clock and the user plus system seconds of one run
    local TIMEFORMAT="%R %U %S" times wall user system
    times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    read -r wall user system <<<"$times"
    echo "$wall $(echo "$user + $system" | bc -l)"
}
