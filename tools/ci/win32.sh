#!/usr/bin/env bash
# CI for the Windows build: cross-builds animconv.exe, animmake.exe, animdump.exe and animstudio.exe with
# mingw-w64 (build-win32; libvips comes from the npm registry, giflib's and cpp-httplib's sources from
# Debian) and tests them under wine: the unit tests and the import
# checks of the cross build, then animconv's end-to-end case table the Windows way, from the Linux build's
# harness (build/tests/e2e/e2e_tests), which starts animconv.exe through the launcher with one command-line
# string, and animmake.exe's and animdump.exe's cases against the Linux build's programs
# (tests/win32/tools_cases.sh), and animstudio.exe's page in the browser tests (tests/browser/wine_cases.sh).
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/../.."

say() { printf '== win32: %s\n' "$*"; }

# The Linux tools are built for the comparison.
tools/ci/install_packages.sh cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix locales \
    libgif-dev libpng-dev libvips-dev libavformat-dev libavcodec-dev libswscale-dev libcpp-httplib-dev patch
# Media Foundation under wine decodes through GStreamer; the video cases' clips come from ffmpeg.
tools/ci/install_packages.sh gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav ffmpeg
# npm fetches the prebuilt libvips: Debian's unless a Node.js installation brings its own.
command -v npm >/dev/null || tools/ci/install_packages.sh npm
# wine brings its fonts and helpers as recommended packages.
tools/ci/install_packages.sh --with-recommends wine64
# animstudio.exe's page is tested in Debian's chromium through playwright-core (tests/browser).
tools/ci/install_packages.sh chromium fonts-noto-cjk
if [[ ! -d tests/browser/node_modules ]]; then
    (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
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
# Keeps the wine server and its background services up until the cleanup: a server that leaves while the
# next test program starts makes that program fail without a word.
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true

# giflib's source from Debian (apt needs a deb-src entry for it), for animdump.exe's GIFs; without it the
# build writes them through libvips and the byte-for-byte GIF case is skipped.
say "giflib's source for animdump.exe"
tools/ci/fetch_giflib_source.sh --add-sources build-win32/_deps/debian-source ||
    say "giflib's source not fetched: animdump.exe writes GIFs through libvips"
# cpp-httplib's single header and Debian's fixes to it, for animstudio.exe.
say "cpp-httplib's source for animstudio.exe"
for prefix in ANIMCONV_HTTPLIB ANIMCONV_HTTPLIB_DEBIAN; do
    tools/ci/fetch_debian_source.sh --add-sources cpp-httplib cmake/httplib_windows.cmake "$prefix" \
        build-win32/_deps/debian-source
done

say "cross build (build-win32)"
cmake --preset win32
cmake --build --preset win32

for program in animconv animmake animdump animstudio; do
    say "DLLs imported by $program.exe"
    x86_64-w64-mingw32-objdump -p "build-win32/$program.exe" | grep 'DLL Name'
done

say "unit tests under wine and the import check"
ctest --preset win32

say "end-to-end cases the Windows way"
cmake --preset default >/dev/null
cmake --build --preset default --target e2e_tests animconv animmake animdump
windows_cases() {
    ANIMCONV_PROGRAM="$PWD/build-win32/animconv.exe" ANIMCONV_LAUNCHER="$PWD/build-win32/tests/win32/launcher.exe" \
        ANIMCONV_WINE_RUN="$PWD/tools/win32/wine-run.sh" \
        build/tests/e2e/e2e_tests --gtest_filter='*/Conversion.*:*/CommandLine.*' --gtest_brief=1
}
# wine now and then fails to start a program at all (no output, status 1 within milliseconds); a fault of
# animconv.exe fails the same way twice, so the cases get one more run before the step fails.
if ! windows_cases; then
    say "a case failed; running the cases once more to tell a wine start-up failure from a real one"
    windows_cases
fi

# Under code page 932, as on a Japanese Windows, then once more with the UTF-8 code page (the manifest's
# activeCodePage), as a program that asks for it runs there.
for code_page in 932 utf-8; do
    say "animmake.exe and animdump.exe against the Linux build, code page $code_page"
    # The same second run as above, for wine's start-up failures (seen once in five runs here, in one case).
    if ! tests/win32/tools_cases.sh build build-win32 "$code_page"; then
        say "a case failed; running the cases once more to tell a wine start-up failure from a real one"
        tests/win32/tools_cases.sh build build-win32 "$code_page"
    fi
    say "animmake.exe and animdump.exe in Japanese and English, code page $code_page"
    if ! tests/win32/language_cases.sh build build-win32 "$code_page"; then
        say "a case failed; running the cases once more to tell a wine start-up failure from a real one"
        tests/win32/language_cases.sh build build-win32 "$code_page"
    fi
done

# animstudio.exe's refusals and streams in process under a Japanese wine (its messages in Japanese), the
# same cases ctest ran above; the page in a browser is the browser tests' (tests/browser).
say "animstudio.exe's API under wine, Japanese"
LANG=ja_JP.UTF-8 tools/win32/wine-run.sh build-win32/animstudio_tests.exe \
    --gtest_filter='StudioRefusals.*:StudioUploads.*:StudioStreams.*:StudioSave.*' --gtest_brief=1

say "animstudio.exe's page in the browser, code page 932"
page_status=0
tests/browser/wine_cases.sh build-win32 || page_status=$?
if [[ $page_status -eq 77 ]]; then
    say "animstudio.exe's page not tested (the reason is above)"
elif [[ $page_status -ne 0 ]]; then
    say "a case failed; running the cases once more to tell a wine start-up failure from a real one"
    tests/browser/wine_cases.sh build-win32
fi

say "all Windows tests passed"
