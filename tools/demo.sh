#!/usr/bin/env bash
# The first thing to try: installs what is missing (tools/ci/dependencies.txt, the list CI installs), builds
# animconv, animdump and animmake (build/), then
#   - converts the sample frames in examples/ in delta mode with animconv into out/anim.bin (messages shown as
#     UTF-8), checks the stream and writes its GIF preview, out/anim.gif;
#   - makes 8 photo-like 24-bit frames (tools/frame_content.cpp) into out/make.bin with animmake's default
#     dither (ordered), checks that stream and writes its preview, out/make.gif.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/ci/install_packages.sh --list tools/ci/dependencies.txt
cmake --preset default >/dev/null
cmake --build --preset default --target animconv animdump animmake readme_pictures

mkdir -p out
rm -rf out/anim.bin out/make.bin out/make-frames
pairs=()
for frame in examples/frame-*.bmp; do
    pairs+=("$frame" 10)
done
./build/animconv use0xfe out/anim.bin "${pairs[@]}" | iconv -f CP932 -t UTF-8
./build/animdump --gif out/anim.gif out/anim.bin

mkdir -p out/make-frames
./build/readme_pictures frames out/make-frames 8
./build/animmake -w 10 -o out/make.bin out/make-frames
./build/animdump --gif out/make.gif out/make.bin

echo "animconv's stream: out/anim.bin, preview: out/anim.gif"
echo "animmake's stream: out/make.bin, preview: out/make.gif"
