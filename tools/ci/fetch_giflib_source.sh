#!/usr/bin/env bash
# Fetches giflib's source tarball (Debian's source package, upstream's own tarball) into DIR for the Windows
# build, which compiles it with mingw-w64 (Debian has no giflib for mingw). The tarball must match the
# SHA-256 pinned in cmake/giflib_windows.cmake; nothing fetched is committed.
#
#   tools/ci/fetch_giflib_source.sh [--add-sources] DIR
#
# --add-sources first gives apt a deb-src entry for each Debian deb entry that has none (the same URIs,
# Suites and Signed-By) and updates its lists: CI does this; a configure run only tries what apt has.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"

add_sources=false
if [[ ${1:-} == --add-sources ]]; then
    add_sources=true
    shift
fi
[[ $# -eq 1 ]] || { echo "usage: $0 [--add-sources] DIR" >&2; exit 2; }
dir=$1
pin() { sed -n "s/^set($1 \\([^ )]*\\)).*/\\1/p" "$root/cmake/giflib_windows.cmake"; }
tarball="$(pin ANIMCONV_GIFLIB_TARBALL)"
expected="$(pin ANIMCONV_GIFLIB_SHA256)"
[[ -n $tarball && -n $expected ]] || { echo "no pinned tarball in cmake/giflib_windows.cmake" >&2; exit 2; }

matches() { [[ -f $1 ]] && [[ "$(sha256sum "$1" | cut -d' ' -f1)" == "$expected" ]]; }
if matches "$dir/$tarball"; then
    exit 0
fi

has_deb_src() {
    grep -qs -E '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' /etc/apt/sources.list /etc/apt/sources.list.d/*
}
if $add_sources && ! has_deb_src; then
    sudo=()
    [[ "$(id -u)" -eq 0 ]] || sudo=(sudo)
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    else
        sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' /etc/apt/sources.list |
            "${sudo[@]}" tee /etc/apt/sources.list.d/debian-src.list >/dev/null
    fi
    echo "== apt-get update (with Debian's source entries)"
    "${sudo[@]}" apt-get update -qq
fi

mkdir -p "$dir"
work="$(mktemp -d "$dir/.fetch-XXXXXX")"
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get source --download-only -qq giflib >/dev/null 2>"$work/apt.err"); then
    reason="$(grep -v '^W:' "$work/apt.err" | head -n 1)"
    echo "apt-get source giflib failed: ${reason:-no reason given}" \
        "(tools/ci/fetch_giflib_source.sh --add-sources gives apt Debian's source entries)" >&2
    exit 1
fi
if ! matches "$work/$tarball"; then
    echo "$tarball from Debian: SHA-256 not the pinned $expected" >&2
    exit 1
fi
mv "$work/$tarball" "$dir/$tarball"
