#!/usr/bin/env bash
# Installs what animdump needs (giflib and libpng development files) when they are missing.
# Run from the repository root before configuring; the normal build and ctest run then build animdump
# and run its tests (tests/animdump). Without these packages animdump and its image tests are skipped.
set -euo pipefail

packages=(libgif-dev libpng-dev)
missing=()
for package in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        echo "animdump: $package is installed"
    else
        missing+=("$package")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "animdump: installing ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
echo "animdump: giflib and libpng are ready; configure and build as usual to get ./build/animdump"
