#!/usr/bin/env bash
# CI for the Windows build: cross-builds animconv.exe with mingw-w64 and tests it under wine: the unit tests
# and the import check in the cross build (build-win32), then the end-to-end cases the Windows way, from a
# Linux build of the harness (build/ci-win32) that starts animconv.exe through the launcher with one
# command-line string. Run from the repository root. Exits non-zero on any failure; nothing is skipped.
set -euo pipefail
cd "$(dirname "$0")/../.."

say() { printf '== win32: %s\n' "$*"; }

packages=(cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix wine64 locales)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    say "installing ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

# wine takes code page 932 from the locale name, and names files on disk in the locale's character set:
# Shift_JIS file names need ja_JP.UTF-8 to exist.
if ! locale -a | grep -qix 'ja_JP.utf8'; then
    say "generating the ja_JP.UTF-8 locale"
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# A wine prefix of this run's own, made once before the tests (its first start takes a few seconds).
wine_home="$(mktemp -d)"
export WINEPREFIX="$wine_home/prefix"
cleanup() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$wine_home"
}
trap cleanup EXIT
say "creating the wine prefix"
WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
# Keeps the wine server and its background services up between test programs.
/usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1 || true

export ANIMCONV_WIN32_REQUIRED=1

say "cross build (build-win32)"
cmake --preset win32
cmake --build --preset win32

say "DLLs imported by animconv.exe"
x86_64-w64-mingw32-objdump -p build-win32/animconv.exe | grep 'DLL Name'

say "unit tests under wine and the import check"
ctest --preset win32

say "end-to-end cases the Windows way (build/ci-win32)"
cmake -S . -B build/ci-win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANIMCONV_WIN32_BUILD_DIR="$PWD/build-win32"
cmake --build build/ci-win32 -j2 --target animconv e2e_tests
ctest --test-dir build/ci-win32 -L '^win32$' --output-on-failure

say "all Windows tests passed"
