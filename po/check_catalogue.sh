#!/usr/bin/env bash
# Fails when a message of animmake or animdump would show in English to a user of another language: a
# message in the sources that no po/LANG.po translates (new, changed or marked fuzzy), or a literal that
# reads as a message (two words) but is not marked for translation with _() or N_(). Literals that are
# not messages are listed in po/not-messages.pot.
set -euo pipefail
cd "$(dirname "$0")/.."
. po/messages.sh
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0

extract_messages "$work/marked.pot"
for po in po/*.po; do
    if ! msgcmp "$po" "$work/marked.pot" 2>"$work/missing.txt"; then
        echo "$po lacks translations (run po/update_catalogue.sh, then translate):"
        sed 's/^/  /' "$work/missing.txt"
        status=1
    fi
done

message_sources | xgettext --files-from=- --language=C++ --from-code=UTF-8 --extract-all --add-location=file \
    --exclude-file="$work/marked.pot" --exclude-file=po/not-messages.pot --output="$work/unmarked.pot" \
    2>/dev/null
# (Byte escapes that are no UTF-8, such as a byte order mark, come out as empty entries: left out.)
awk 'BEGIN { RS = ""; ORS = "\n\n" } !/^#: [^\n]*\nmsgid ""\nmsgstr ""$/' "$work/unmarked.pot" | msggrep --msgid --extended-regexp --regexp='[A-Za-z]{2,} [a-z]{2,}' >"$work/words.pot"
if grep -q '^msgid "[^"]' "$work/words.pot"; then
    echo "messages not marked for translation (wrap them in _(), or list them in po/not-messages.pot):"
    grep -B2 '^msgid' "$work/words.pot" | grep -v '^--$' | sed 's/^/  /'
    status=1
fi
if [[ $status == 0 ]]; then
    echo "every message of animmake and animdump is marked and translated in $(ls po/*.po | tr '\n' ' ')"
fi
exit "$status"
