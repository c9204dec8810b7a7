#!/usr/bin/env bash
# The browser tests against animstudio.exe under wine, as a Japanese Windows runs it (code page 932, Japanese
# messages: tools/win32/wine-run.sh), its streams compared with animmake.exe's and its GIFs with
# animdump.exe's under the same wine. tools/ci/win32.sh runs it after the cross build.
#   tests/browser/wine_cases.sh WIN32_BUILD     (status 77, with the reason, when something is missing)
# The folders' paths must not hold spaces: the harness splits its program commands at spaces.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
win32="$(cd "$1" && pwd)"
for program in animstudio animmake animdump; do
    if [[ ! -f "$win32/$program.exe" ]]; then
        echo "SKIPPED: $win32/$program.exe is not built"
        exit 77
    fi
done
command -v node >/dev/null || { echo "SKIPPED: node not found (Debian: nodejs)"; exit 77; }

wine_run="$root/tools/win32/wine-run.sh"
export ANIMSTUDIO="$wine_run $win32/animstudio.exe"
export ANIMMAKE="$wine_run $win32/animmake.exe"
export ANIMDUMP="$wine_run $win32/animdump.exe"
# animmake.exe's messages on a redirected standard error are in the ANSI code page.
export ANIMMAKE_ENCODING=shift_jis
unset ANIMCONV_WINE_MESSAGES

failures=0
for script in making player language refusals command_line; do
    echo "== animstudio.exe under wine: $script"
    node "$root/tests/browser/$script.test.js"
    status=$?
    if [[ $status -eq 77 ]]; then
        exit 77
    elif [[ $status -ne 0 ]]; then
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
