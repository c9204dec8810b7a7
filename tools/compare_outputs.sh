#!/usr/bin/env bash
# Runs two builds' animconv, animmake and animdump on the same inputs and compares everything they leave
# byte for byte: streams, frames-dir BMPs, animdump's tables, GIFs and PNGs, standard output and error, and
# exit statuses. For a change that must not alter any output (a refactoring). Not part of CI.
#
#   tools/compare_outputs.sh BASE_BUILD NEW_BUILD [WORK_DIR]
#
# BASE_BUILD and NEW_BUILD are build folders holding animconv, animmake and animdump (for example a
# worktree of the base commit built with `cmake --preset default && cmake --build --preset default`).
# The inputs are made with the ffmpeg command-line tool (Debian package ffmpeg): BMP, PNG (with alpha),
# JPEG and animated GIF sets, an MP4 (H.264) and an MKV (MPEG-4 part 2) clip, plus examples/*.bmp. Every
# run happens in WORK_DIR/base or WORK_DIR/new with the same relative paths, so that messages naming a
# file match. Exits 0 when all is the same, 1 with the differing files listed otherwise.
set -uo pipefail
export LC_ALL=C
[[ $# -ge 2 ]] || { echo "usage: $0 BASE_BUILD NEW_BUILD [WORK_DIR]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
base=$(cd "$1" && pwd) || exit 2
new=$(cd "$2" && pwd) || exit 2
work=${3:-$(mktemp -d /tmp/compare_outputs.XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
for build in "$base" "$new"; do
    for program in animconv animmake animdump; do
        [[ -x $build/$program ]] || { echo "missing $build/$program: build it first" >&2; exit 2; }
    done
done
command -v ffmpeg >/dev/null || { echo "ffmpeg not found: apt-get install ffmpeg" >&2; exit 2; }

# ---- Inputs, made once ----------------------------------------------------------------------------------
inputs=$work/inputs
if [[ ! -f $inputs/.done ]]; then
    rm -rf "$inputs"
    mkdir -p "$inputs"/{bmp,png,jpeg,mixed,examples}
    ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
    ff -f lavfi -i testsrc2=size=320x240:rate=10 -frames:v 8 "$inputs/bmp/f%d.bmp"
    ff -f lavfi -i "testsrc2=size=256x200:rate=10,format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='if(lt(X,64),128,255)'" \
        -frames:v 6 "$inputs/png/f%d.png"
    ff -f lavfi -i mandelbrot=size=640x360:rate=10 -frames:v 6 -q:v 3 "$inputs/jpeg/f%02d.jpg"
    ff -f lavfi -i testsrc=size=200x150:rate=8 -frames:v 12 "$inputs/anim.gif"
    # A moving picture, then a cut to another (the steady dither's cases), in two containers and codecs.
    ff -f lavfi -i testsrc2=size=320x180:rate=25:duration=1.2 -f lavfi -i mandelbrot=size=320x180:rate=25 \
        -filter_complex "[1:v]trim=duration=0.8,setpts=PTS-STARTPTS[m];[0:v][m]concat=n=2:v=1[v]" -map "[v]" \
        -c:v libx264 -pix_fmt yuv420p "$inputs/clip.mp4"
    ff -f lavfi -i testsrc=size=240x320:rate=30:duration=1.5 -c:v mpeg4 -q:v 4 "$inputs/portrait.mkv"
    cp "$root"/examples/*.bmp "$inputs/examples/"
    cp "$inputs/bmp/f1.bmp" "$inputs/mixed/a1.bmp"
    cp "$inputs/png/f2.png" "$inputs/mixed/a2.png"
    cp "$inputs/jpeg/f03.jpg" "$inputs/mixed/a10.jpg"
    printf 'not an image\n' >"$inputs/broken.png"
    printf '../inputs/bmp/f1.bmp\t3\n../inputs/anim.gif\n../inputs/jpeg/f01.jpg\t200\n' >"$inputs/list.txt"
    touch "$inputs/.done"
fi

# ---- Runs -----------------------------------------------------------------------------------------------
# One case: NAME PROGRAM ARGUMENTS... run in the build's folder; its stdout, stderr and status are kept.
# The program is started under its bare name, which animconv's usage line repeats.
run_case() {
    local build=$1 name=$2 program=$3
    shift 3
    (exec -a "$program" "$build/$program" "$@") >"out/$name.stdout" 2>"out/$name.stderr" </dev/null
    echo $? >"out/$name.status"
}

# animdump on a stream the case left: its table, GIF and PNG frames.
dump_stream() {
    local build=$1 name=$2 stream=$3
    [[ -f $stream ]] || return 0
    run_case "$build" "$name.dump" animdump "$stream"
    run_case "$build" "$name.gif" animdump -g "out/$name.gif" -d 2.5 "$stream"
    run_case "$build" "$name.png" animdump -p "out/$name.png" "$stream"
}

run_build() {
    local build=$1 folder=$2
    rm -rf "$folder"
    mkdir -p "$folder/out"
    cd "$folder" || exit 2
    local in=../inputs
    local sets=("examples:$in/examples" "bmp:$in/bmp" "png:$in/png" "jpeg:$in/jpeg" "gif:$in/anim.gif"
                "mp4:$in/clip.mp4" "mkv:$in/portrait.mkv" "mixed:$in/mixed" "list:@$in/list.txt")
    for entry in "${sets[@]}"; do
        local set=${entry%%:*} input=${entry#*:}
        for dither in steady ordered search none diffusion; do
            local name=$set-$dither
            run_case "$build" "$name" animmake -q --dither "$dither" -o "out/$name.bin" "$input"
            dump_stream "$build" "$name" "out/$name.bin"
        done
    done
    # Options that change what is made.
    run_case "$build" nodelta animmake -q --no-delta -o out/nodelta.bin "$in/bmp"
    run_case "$build" frames-dir animmake -q --frames-dir out/frames -o out/frames.bin "$in/png"
    run_case "$build" cover animmake -q --fit cover --background '#336699' -o out/cover.bin "$in/png" "$in/jpeg"
    run_case "$build" stretch animmake -q --fit stretch -w 7 -o out/stretch.bin "$in/jpeg" "$in/anim.gif"
    run_case "$build" video-timing animmake -q --fps 12.5 --start 0.4 --duration 1 --wait-unit 20 \
        -o out/video-timing.bin "$in/clip.mp4" "$in/portrait.mkv"
    run_case "$build" gif-wait animmake -q --wait-unit 5 -o out/gif-wait.bin "$in/anim.gif"
    cp out/nodelta.bin out/append.bin
    run_case "$build" append animmake -q -a -o out/append.bin "$in/jpeg"
    "$build/animmake" -q -o out/stdin-list.bin @- <"$in/list.txt" >out/stdin-list.stdout 2>out/stdin-list.stderr
    echo $? >out/stdin-list.status
    for stream in nodelta frames cover stretch video-timing gif-wait append stdin-list animconv-use animconv-no; do
        dump_stream "$build" "$stream" "out/$stream.bin"
    done
    # With the progress line and summary: only the status and standard output (the timings vary).
    "$build/animmake" -o out/loud.bin "$in/bmp" >out/loud.stdout 2>/dev/null
    echo $? >out/loud.status
    # Failures and usage: messages and statuses.
    run_case "$build" help animmake --help
    run_case "$build" version animmake --version
    run_case "$build" dump-help animdump --help
    run_case "$build" dump-version animdump --version
    # Without -o the stream goes beside the input, in the shared inputs: moved into this build's outputs.
    run_case "$build" no-output animmake -q "$in/bmp"
    mv "$in/bmp.bin" out/no-output.bin 2>/dev/null
    run_case "$build" bad-option animmake --dither=wobbly -o out/x.bin "$in/bmp"
    run_case "$build" bad-wait animmake -w 256 -o out/x.bin "$in/bmp"
    run_case "$build" missing animmake -o out/x.bin "$in/nothing.png"
    run_case "$build" broken animmake -o out/broken.bin "$in/bmp" "$in/broken.png"
    run_case "$build" broken-verbose animmake -v -o out/broken.bin "$in/broken.png"
    run_case "$build" exists animmake -o out/nodelta.bin "$in/bmp"
    run_case "$build" self animmake -f -o "$in/bmp/f1.bmp" "$in/bmp"
    run_case "$build" too-large animmake --max-pixels 1000 -o out/x.bin "$in/jpeg"
    run_case "$build" dump-missing animdump out/nothing.bin
    run_case "$build" dump-bad-scale animdump -d 2000 out/nodelta.bin
    # Each option's refusals and the parse's own: every row of both option tables.
    local refusals=(
        "animmake --he" "animmake --vers -o x a" "animmake -f -a -o x a" "animmake -o" "animmake --output= a"
        "animmake --fps 0 -o x a" "animmake --fps 1000.5 -o x a" "animmake --start 1:60 -o x a"
        "animmake --duration 0 -o x a" "animmake --fit tile -o x a" "animmake --background #12345 -o x a"
        "animmake --wait-unit 0 -o x a" "animmake --frames-dir= -o x a" "animmake --max-pixels 0 -o x a"
        "animmake -x -o x a" "animmake --bogus -o x a" "animmake -o x" "animmake --no-delta=1 -o x a"
        "animdump" "animdump a b" "animdump -g a.gif -g b.gif x" "animdump -p d -p e x" "animdump -s 0 x"
        "animdump -s 1 -s 2 x" "animdump -d 1 x" "animdump -d 1 -d 2 -g a.gif x" "animdump --play=3 x"
        "animdump --gi=a.gif x" "animdump -x x" "animdump --bogus x" "animdump -g" "animdump --png" "animdump --he"
    )
    local i=0
    for refusal in "${refusals[@]}"; do
        # shellcheck disable=SC2086 # the words are split on purpose
        run_case "$build" "refusal-$((i++))" $refusal
    done
    head -c 5000 out/nodelta.bin >out/truncated.bin
    run_case "$build" dump-truncated animdump out/truncated.bin
    # animconv on the sample frames, both modes.
    local e=$in/examples
    run_case "$build" animconv-use animconv use0xfe out/animconv-use.bin "$e/frame-01.bmp" 5 "$e/frame-02.bmp" 9 \
        "$e/frame-03.bmp" 200
    run_case "$build" animconv-no animconv no0xfe out/animconv-no.bin "$e/frame-04.bmp" 1 "$e/frame-05.bmp" 2
    run_case "$build" animconv-usage animconv
    cd - >/dev/null || exit 2
}

run_build "$base" "$work/base"
run_build "$new" "$work/new"

count=$(find "$work/base/out" -type f | wc -l)
if diff -r "$work/base/out" "$work/new/out" >"$work/differences.txt"; then
    echo "same: $count files compared in $work/base/out and $work/new/out"
    exit 0
fi
echo "DIFFERENT ($count files in $work/base/out; see $work/differences.txt):"
diff -rq "$work/base/out" "$work/new/out"
exit 1
