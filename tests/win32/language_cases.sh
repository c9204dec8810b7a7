#!/usr/bin/env bash
# animmake.exe and animdump.exe in the user's language under wine, against the Linux build in the same
# language: Japanese where the interface language is Japanese, English otherwise; messages redirected to a
# file or a pipe in the ANSI code page (932) or, for programs that ask for the UTF-8 code page, in UTF-8;
# on a console, characters; the user's backslashes kept in the names.
#   tests/win32/language_cases.sh LINUX_BUILD WIN32_BUILD [utf-8]
# Needs wine's prefix made and the ja_JP.UTF-8 locale (tools/ci/win32.sh sees to both).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
linux="$(cd "$1" && pwd)"
win32="$(cd "$2" && pwd)"
wine_run="$root/tools/win32/wine-run.sh"
code_page="${3:-932}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
if [[ $code_page == utf-8 ]]; then
    . "$root/tests/win32/utf8_programs.sh"
    win32="$(utf8_program_copies "$win32" "$work")" || exit 2
fi

failures=0
check() {
    local name="$1"
    shift
    if "$@"; then printf '  ok    %s\n' "$name"; else
        printf '  FAIL  %s\n' "$name"
        failures=$((failures + 1))
    fi
}
# The bytes a Windows program writes to a file for UTF-8 text, in this run's code page.
in_code_page() {
    if [[ $code_page == 932 ]]; then iconv -f UTF-8 -t CP932; else cat; fi
}
# win LANGUAGE PROGRAM ARGS...: under wine with that interface language, nothing on standard input.
win() {
    local messages="$1"
    shift
    ANIMCONV_WINE_MESSAGES="$messages" "$wine_run" "$win32/$1.exe" "${@:2}" </dev/null
}
# linux LOCALE PROGRAM ARGS...
linux() {
    local locale="$1"
    shift
    env -u LC_ALL -u LANGUAGE LANG="$locale" "$linux/$1" "${@:2}" </dev/null
}
same_bytes() {  # FILE TEXT: the file holds TEXT in this run's code page, line ends CR LF
    cmp -s "$1" <(printf '%s\n' "$2" | sed 's/$/\r/' | in_code_page) || {
        echo "        got:      $(iconv -f "$([[ $code_page == 932 ]] && echo CP932 || echo UTF-8)" -t UTF-8 "$1" 2>&1 | head -3)"
        echo "        expected: $2"
        false
    }
}

mkdir 画像
: >画像/空.png
echo "the user's language, code page $code_page"

# A message naming a Japanese file, with the user's backslash: Japanese or English, redirected to a file
# and through a pipe, in the code page's bytes; the Linux program says the same in the same language.
win ja_JP.UTF-8 animmake -q -o x.bin '画像\空.png' 2>ja.err
linux ja_JP.UTF-8 animmake -q -o x.bin 画像/空.png 2>linux-ja.err
check "Japanese: the message in the code page, the backslash kept, Linux's words" eval "
    same_bytes ja.err 'animmake: 画像\\空.png: ファイルが空です' &&
    [[ \"\$(sed 's|画像/|画像\\\\|' linux-ja.err)\" == 'animmake: 画像\\空.png: ファイルが空です' ]]"
win ja_JP.UTF-8 animmake -q -o x.bin '画像\空.png' 2>&1 | cat >ja-pipe.err
check "Japanese: through a pipe, the same bytes" cmp -s ja-pipe.err ja.err
win en_US.UTF-8 animmake -q -o x.bin '画像\空.png' 2>en.err
check "English: the same message in English, the name in the code page" \
    same_bytes en.err 'animmake: 画像\空.png: the file is empty'

# --help: Linux's Japanese text but for what only Windows does (the wildcards' line and the blank line
# after it); animdump.exe's too.
win ja_JP.UTF-8 animmake --help >help-ja.out
linux ja_JP.UTF-8 animmake --help >linux-help-ja.out
decoded() { tr -d '\r' <"$1" | if [[ $code_page == 932 ]]; then iconv -f CP932 -t UTF-8; else cat; fi; }
check "Japanese --help: Linux's, with the wildcards' line" eval "
    [[ \"\$(decoded help-ja.out | sed '/ワイルドカード/,+1d')\" == \"\$(cat linux-help-ja.out)\" ]] &&
    decoded help-ja.out | grep -q '^INPUT のワイルドカード（\\* と ?）は自然な順に展開。/? と /help は --help です。$'"
win ja_JP.UTF-8 animdump '/?' >dump-help-ja.out
win en_US.UTF-8 animdump '/?' >dump-help-en.out
check "animdump.exe /?: Japanese and English by the interface language" eval "
    [[ \"\$(decoded dump-help-ja.out | head -1)\" == '使い方: animdump [OPTION]... FILE' ]] &&
    [[ \"\$(decoded dump-help-en.out | head -1)\" == 'Usage: animdump [OPTION]... FILE' ]] &&
    decoded dump-help-ja.out | grep -q -- '-g, --gif=OUT.gif *全フレームを 1 つのアニメーション GIF に書き出す'"
win ja_JP.UTF-8 animdump --show 0 x.bin 2>dump-usage-ja.err
linux ja_JP.UTF-8 animdump --show 0 x.bin 2>linux-dump-usage-ja.err
check "animdump.exe: a usage error in Linux's Japanese words" \
    same_bytes dump-usage-ja.err "$(cat linux-dump-usage-ja.err)"

# On a console of its own (a terminal through script) the text goes as characters, whatever the code
# page: the Japanese wait after the message.
keys() { for _ in $(seq 1 30); do sleep 1; printf x; done; }
keys | timeout 60 script -qec "ANIMCONV_WINE_MESSAGES=ja_JP.UTF-8 $wine_run $win32/animmake.exe -q -o x.bin '画像\\空.png'" \
    /dev/null >console.out
check "its own console: the message and the wait in Japanese characters" eval "
    grep -q 'animmake: 画像.空.png: ファイルが空です' console.out &&
    grep -q '何かキーを押すとこのウィンドウを閉じます。' console.out"

if ((failures > 0)); then
    echo "$failures language case(s) failed"
    exit 1
fi
echo "all language cases passed"
