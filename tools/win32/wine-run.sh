#!/usr/bin/env bash
# Runs one Windows program under wine for the tests: quiet log, a prefix of our own, and the Japanese
# ANSI code page (932) so that Shift_JIS bytes in command lines cross CreateProcessA unchanged.
set -euo pipefail
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/animconv-wine-$(id -u)}"
loader="${ANIMCONV_WINE:-/usr/lib/wine/wine64}"
server="$(dirname "$loader")/wineserver"
if [[ ! -x "$loader" || ! -x "$server" ]]; then
  echo "wine-run.sh: $loader or $server not found (Debian package wine64)" >&2
  exit 127
fi
# A wine server that outlives each test program, with wine's background services started here with no
# inherited output: otherwise they hold the test's output pipe open until the server quits (3 s per
# program), and the first program of a new prefix creates it (a few seconds). The server leaves 30 s
# after its last program; starting one fails harmlessly when it is already running.
# Test programs started side by side wait here until the first one has the server and services up.
exec 9>"$WINEPREFIX.lock"
flock 9
if "$server" -p30 </dev/null >/dev/null 2>&1 9>&-; then
  "$loader" wineboot </dev/null >/dev/null 2>&1 9>&- || true
fi
exec 9>&-
# wine takes its code page from the locale name alone (LC_CTYPE); the locale need not be installed. The
# user's interface language, which animmake.exe and animdump.exe speak, is LC_MESSAGES': Japanese, as on a
# Japanese Windows, unless ANIMCONV_WINE_MESSAGES names another locale (en_US.UTF-8 for English).
exec env -u LC_ALL LANG=ja_JP.UTF-8 LC_CTYPE=ja_JP.UTF-8 LC_MESSAGES="${ANIMCONV_WINE_MESSAGES:-ja_JP.UTF-8}" \
  "$loader" "$@"
