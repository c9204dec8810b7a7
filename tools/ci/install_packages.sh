#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet: one `apt-get update`
# first when anything is missing, then one noninteractive install, without recommended packages unless
# --with-recommends comes first.
#   tools/ci/install_packages.sh [--with-recommends] PACKAGE...
set -euo pipefail

recommends=(--no-install-recommends)
if [ "${1:-}" = "--with-recommends" ]; then
    recommends=()
    shift
fi
missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "== installing ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${recommends[@]}" "${missing[@]}"
