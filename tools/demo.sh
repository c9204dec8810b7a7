#!/usr/bin/env bash
# The first thing to try: installs what is missing, builds animconv and animdump (build/), converts the
# sample frames in examples/ in delta mode into out/anim.bin (messages shown as UTF-8), then checks the
# stream and writes its GIF preview, out/anim.gif.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/ci/install_packages.sh cmake make g++ libgtest-dev libgif-dev libpng-dev
cmake --preset default >/dev/null
cmake --build --preset default --target animconv animdump

mkdir -p out
rm -f out/anim.bin
pairs=()
for frame in examples/frame-*.bmp; do
    pairs+=("$frame" 10)
done
./build/animconv use0xfe out/anim.bin "${pairs[@]}" | iconv -f CP932 -t UTF-8
./build/animdump --gif out/anim.gif out/anim.bin
echo "preview: out/anim.gif"
