#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet: one `apt-get update`
# first when anything is missing, then one noninteractive install, without recommended packages unless
# --with-recommends comes first. --list FILE adds the packages FILE names, one a line ('#' starts a comment).
#   tools/ci/install_packages.sh [--with-recommends] [--list FILE] [PACKAGE...]
set -euo pipefail

recommends=(--no-install-recommends)
if [ "${1:-}" = "--with-recommends" ]; then
    recommends=()
    shift
fi
packages=()
if [ "${1:-}" = "--list" ]; then
    while read -r line; do
        line="${line%%#*}"
        [ -n "${line// /}" ] && packages+=($line)
    done <"$2"
    shift 2
fi
packages+=("$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "== installing ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${recommends[@]}" "${missing[@]}"
