#!/usr/bin/env bash
# CI for the packages, the way a user meets them. Builds the Debian package (release build with Debian's
# hardening flags, cpack -G DEB) and the Windows zip (cross build, target windows_zip); checks the package's
# files and dependencies, installs it with apt-get (so missing dependencies show), runs the installed programs
# on the sample frames, renders the man pages, runs lintian and removes the package again; then unpacks the
# zip and runs animconv.exe on a sample frame under wine. Run as root (it installs the package).
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"

say() { printf '== packages: %s\n' "$*"; }
fail() {
    printf '== packages: FAILED: %s\n' "$*" >&2
    exit 1
}

needed=(cmake ninja-build g++ dpkg-dev lintian man-db zip unzip libgif-dev libpng-dev libvips-dev libcpp-httplib-dev
    g++-mingw-w64-x86-64-posix wine64)
# npm fetches the Windows build's libvips: Debian's unless a Node.js installation brings its own.
command -v npm >/dev/null || needed+=(npm)
# The package lists fresh, so that apt-get can fetch whatever the .deb depends on.
say "apt-get update"
apt-get update -qq
tools/ci/install_packages.sh "${needed[@]}"

work="$(mktemp -d)"
cleanup() {
    if dpkg -s animconv >/dev/null 2>&1; then
        apt-get remove -y -qq animconv >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

say "release build (build-package) and cpack -G DEB"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Warnings stay warnings here (only the presets make them errors): a distribution's compiler or flags must not
# stop the package.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DANIMCONV_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package -j2
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)"
rm -f build-package/animconv_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb="build-package/animconv_${version}_amd64.deb"
[[ -f $deb ]] || fail "cpack made no $deb"

say "contents of $deb ($(stat -c %s "$deb") bytes)"
programs=(animconv animdump animmake animstudio)
expected=(./usr/share/doc/animconv/changelog.gz ./usr/share/doc/animconv/copyright)
for program in "${programs[@]}"; do
    expected+=("./usr/bin/$program" "./usr/share/man/man1/$program.1.gz")
done
# animdump, animmake and animstudio speak Japanese too: their catalogue and their Japanese man pages.
expected+=(./usr/share/locale/ja/LC_MESSAGES/animconv.mo ./usr/share/man/ja/man1/animdump.1.gz
    ./usr/share/man/ja/man1/animmake.1.gz ./usr/share/man/ja/man1/animstudio.1.gz)
dpkg-deb -c "$deb"
diff <(printf '%s\n' "${expected[@]}" | sort) <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort) ||
    fail "the package's files are not the expected ones (< expected, > packaged)"

say "dependencies"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
libraries=(libc6 libstdc++6 libgif7 libpng16-16 libvips42 libcpp-httplib0.11)
for library in "${libraries[@]}"; do
    [[ ", $depends," == *", $library "* ]] || fail "Depends lacks $library"
done

say "lintian"
# Every tag down to the pedantic ones is listed; errors and warnings fail.
lintian_status=0
lintian --fail-on error,warning --display-info --pedantic "$deb" >"$work/lintian.txt" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[[ $lintian_status -eq 0 ]] || fail "lintian reports errors or warnings"

say "apt-get install ./$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
[[ "$(dpkg-query -W -f='${Version}' animconv)" == "$version" ]] || fail "installed version is not $version"
for program in "${programs[@]}"; do
    [[ "$(command -v "$program")" == "/usr/bin/$program" ]] || fail "$program is not /usr/bin/$program"
done

say "the installed programs on the sample frames"
arguments=()
for frame in examples/frame-*.bmp; do
    arguments+=("$frame" 10)
done
animconv use0xfe "$work/anim.bin" "${arguments[@]}" >"$work/animconv.out" || fail "animconv failed"
grep -c $'\r$' "$work/animconv.out" | grep -qx 24 || fail "animconv did not report 12 frames converted"
animdump --gif "$work/anim.gif" --png "$work/frames" "$work/anim.bin" >"$work/check.txt" ||
    fail "animdump finds the stream invalid: $(tail -n 1 "$work/check.txt")"
grep -qx 'total: 12 frames, .*' "$work/check.txt" || fail "animdump does not count 12 frames"
[[ "$(head -c 6 "$work/anim.gif")" == GIF89a ]] || fail "the GIF preview is no GIF"
[[ -f "$work/frames/frame-0012.png" ]] || fail "animdump wrote no PNG frames"
[[ "$(animdump --version)" == "animdump $version" ]] || fail "animdump --version is not $version"
animmake -q -o "$work/made.bin" "$work/frames" || fail "animmake failed on the PNG folder"
animdump --gif "$work/made.gif" "$work/made.bin" >"$work/made.txt" ||
    fail "animmake's stream is invalid: $(tail -n 1 "$work/made.txt")"
grep -qx 'total: 12 frames, .*' "$work/made.txt" || fail "animmake's stream does not hold 12 frames"
[[ "$(head -c 6 "$work/made.gif")" == GIF89a ]] || fail "the GIF preview of animmake's stream is no GIF"
[[ "$(animmake --version)" == "animmake $version" ]] || fail "animmake --version is not $version"
[[ "$(animstudio --version)" == "animstudio $version" ]] || fail "animstudio --version is not $version"
# animstudio's first line is its page's address; it ends by itself with no page open.
TMPDIR="$work" animstudio --no-browser --idle-exit 1 >"$work/studio.out" || fail "animstudio failed"
grep -qE '^http://127\.0\.0\.1:[0-9]+/\?token=[0-9a-f]{32}$' "$work/studio.out" ||
    fail "animstudio's first line is not its address: $(head -n 1 "$work/studio.out")"
tail -n 2 "$work/check.txt"

say "man pages"
for program in "${programs[@]}"; do
    page="$(MANWIDTH=80 man -P cat "$program" 2>"$work/man.err")" || fail "man $program: $(cat "$work/man.err")"
    [[ -s "$work/man.err" ]] && fail "man $program warns: $(cat "$work/man.err")"
    [[ "$page" == *"animconv $version"* ]] || fail "man $program does not name version $version"
    echo "man $program: $(wc -l <<<"$page") lines"
done
for program in animdump animmake animstudio; do
    page="$(LANG=ja_JP.UTF-8 MANWIDTH=80 man -P cat "$program" 2>"$work/man.err")" ||
        fail "man $program in Japanese: $(cat "$work/man.err")"
    [[ -s "$work/man.err" ]] && fail "man $program in Japanese warns: $(cat "$work/man.err")"
    [[ "$page" == *"ユーザーコマンド"* && "$page" == *"名前"* ]] || fail "man $program in Japanese is not the Japanese page"
    [[ "$(LANG=ja_JP.UTF-8 "$program" --help | head -n 1)" == "使い方: $program "* ]] ||
        fail "the installed $program does not speak Japanese"
    echo "man $program in Japanese: $(wc -l <<<"$page") lines"
done

say "apt-get remove animconv"
apt-get remove -y -qq animconv >/dev/null
for program in "${programs[@]}"; do
    [[ ! -e "/usr/bin/$program" ]] || fail "/usr/bin/$program is still there"
done

say "Windows zip (build-win32, target windows_zip)"
tools/ci/fetch_giflib_source.sh --add-sources build-win32/_deps/debian-source ||
    say "giflib's source not fetched: animdump.exe writes GIFs through libvips"
for prefix in ANIMCONV_HTTPLIB ANIMCONV_HTTPLIB_DEBIAN; do
    tools/ci/fetch_debian_source.sh --add-sources cpp-httplib cmake/httplib_windows.cmake "$prefix" \
        build-win32/_deps/debian-source
done
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target windows_zip bcryptprimitives
zip="build-win32/animconv-${version}-windows-x86_64.zip"
unzip -l "$zip"
unzip -q "$zip" -d "$work/windows"
folder="$work/windows/animconv-${version}-windows-x86_64"
zip_expected=(animconv.exe animmake.exe animdump.exe animstudio.exe libvips-42.dll README-windows.txt licences/GPL-3
    licences/LGPL-3 licences/libvips-licences.md licences/libvips-versions.json)
for frame in examples/frame-*.bmp; do zip_expected+=("$frame"); done
# giflib, built into animdump.exe when its source was at hand, brings its licence.
if grep -qx 'ANIMDUMP_GIF_WRITER:INTERNAL=giflib' build-win32/CMakeCache.txt; then
    zip_expected+=(licences/giflib-COPYING)
fi
zip_expected+=(licences/cpp-httplib-LICENSE)
diff <(printf '%s\n' "${zip_expected[@]}" | sort) <(cd "$folder" && find . -type f | sed 's|^\./||' | sort) ||
    fail "the zip's files are not the expected ones (< expected, > zipped)"

# Notepad's text: README-windows.txt in CR LF throughout. The tools carry their manifest and version.
if grep -q -v $'\r$' "$folder/README-windows.txt"; then fail "README-windows.txt has lines without CR LF"; fi
for tool in animmake animdump animstudio; do
    grep -q -a '<longPathAware' "$folder/$tool.exe" || fail "$tool.exe has no manifest with longPathAware"
    LC_ALL=C grep -q -a -P 'F\x00i\x00l\x00e\x00V\x00e\x00r\x00s\x00i\x00o\x00n' "$folder/$tool.exe" ||
        fail "$tool.exe has no version resource"
done

say "animconv.exe from the zip under wine"
# The same frame through the Linux build gives the expected stream and console bytes.
cmake --build build-package --target animconv >/dev/null
(cd "$folder" && "$root/build-package/animconv" use0xfe linux.bin examples/frame-01.bmp 10 >linux.out)
(cd "$folder" && "$root/tools/win32/wine-run.sh" ./animconv.exe use0xfe windows.bin examples/frame-01.bmp 10 \
    >windows.out) || fail "animconv.exe failed under wine"
cmp "$folder/linux.bin" "$folder/windows.bin" || fail "animconv.exe wrote another stream"
cmp "$folder/linux.out" "$folder/windows.out" || fail "animconv.exe printed other messages"
iconv -f CP932 -t UTF-8 <"$folder/windows.out"

say "animmake.exe and animdump.exe from the zip under wine"
# wine 8 lacks bcryptprimitives.dll (Windows 10 has it): the build's stand-in, for this run only.
cp build-win32/bcryptprimitives.dll "$folder/"
(cd "$folder" && "$root/build-package/animmake" -q -o linux-made.bin examples)
(cd "$folder" && "$root/tools/win32/wine-run.sh" ./animmake.exe -q -o windows-made.bin examples) ||
    fail "animmake.exe failed under wine"
cmp "$folder/linux-made.bin" "$folder/windows-made.bin" || fail "animmake.exe wrote another stream"
(cd "$folder" && "$root/tools/win32/wine-run.sh" ./animdump.exe --gif made.gif windows-made.bin >made.txt) ||
    fail "animdump.exe finds animmake.exe's stream invalid"
tr -d '\r' <"$folder/made.txt" | grep -qx 'total: 12 frames, .*' || fail "animdump.exe does not count 12 frames"
[[ "$(head -c 6 "$folder/made.gif")" == GIF89a ]] || fail "animdump.exe's GIF is no GIF"

say "zip $(stat -c %s "$zip") bytes, deb $(stat -c %s "$deb") bytes: all package checks passed"
