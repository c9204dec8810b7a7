#!/usr/bin/env bash
# CI for the Windows build: cross-builds animconv.exe with mingw-w64 and runs its tests under wine (unit
# tests, the import check, and the end-to-end cases started through a raw command line).
# Run from the repository root. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/../.."

packages=(cmake g++-mingw-w64-x86-64-posix wine64 googletest)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "== win32: installing ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

# A wine prefix of this run's own, made once before the tests (its first start takes a few seconds).
wine_home="$(mktemp -d)"
export WINEPREFIX="$wine_home/prefix"
cleanup() {
    WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$wine_home"
}
trap cleanup EXIT
echo "== win32: creating the wine prefix"
WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
# Keeps the wine server and its background services up between test programs.
WINEDEBUG=-all /usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1 || true

echo "== win32: cross build (build-win32)"
cmake --preset win32
cmake --build --preset win32

echo "== win32: DLLs imported by animconv.exe"
x86_64-w64-mingw32-objdump -p build-win32/animconv.exe | grep 'DLL Name'

echo "== win32: tests under wine"
ctest --preset win32
