#!/usr/bin/env bash
# Fetches a tarball of a Debian source package into DIR for the Windows build, which compiles it with
# mingw-w64 (Debian has no mingw build of it). The tarball's name and SHA-256 are pinned in a CMake file as
# set(PREFIX_TARBALL name) and set(PREFIX_SHA256 digest); nothing fetched is committed.
#
#   tools/ci/fetch_debian_source.sh [--add-sources] SOURCE_PACKAGE PIN_FILE PREFIX DIR
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
[[ $# -eq 4 ]] || { echo "usage: $0 [--add-sources] SOURCE_PACKAGE PIN_FILE PREFIX DIR" >&2; exit 2; }
package=$1 pins=$2 prefix=$3 dir=$4
[[ $pins == /* ]] || pins="$root/$pins"
pin() { sed -n "s/^set(${prefix}_$1 \\([^ )]*\\)).*/\\1/p" "$pins"; }
tarball="$(pin TARBALL)"
expected="$(pin SHA256)"
[[ -n $tarball && -n $expected ]] || { echo "no pinned tarball in $pins" >&2; exit 2; }

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
dir="$(cd "$dir" && pwd)"  # apt-get runs in the work folder below
work="$(mktemp -d "$dir/.fetch-XXXXXX")"
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get source --download-only -qq "$package" >/dev/null 2>"$work/apt.err"); then
    reason="$(grep -v '^W:' "$work/apt.err" | head -n 1)"
    echo "apt-get source $package failed: ${reason:-no reason given}" \
        "(tools/ci/fetch_debian_source.sh --add-sources gives apt Debian's source entries)" >&2
    exit 1
fi
if ! matches "$work/$tarball"; then
    echo "$tarball from Debian: SHA-256 not the pinned $expected" >&2
    exit 1
fi
mv "$work/$tarball" "$dir/$tarball"
