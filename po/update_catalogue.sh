#!/usr/bin/env bash
# Makes po/animconv.pot from the sources and brings every po/LANG.po up to it (new messages untranslated,
# changed ones fuzzy), for a translator to fill in. Run from anywhere; needs gettext.
set -euo pipefail
cd "$(dirname "$0")/.."
. po/messages.sh
extract_messages po/animconv.pot
sed -i '/^"POT-Creation-Date: /d' po/animconv.pot  # no change without a changed message
for po in po/*.po; do
    msgmerge --quiet --update --backup=none --add-location=file --sort-output --no-wrap "$po" po/animconv.pot
    msgattrib --no-obsolete --no-wrap --output-file="$po" "$po"  # what the sources no longer say
done
echo "po/animconv.pot made; now translate what is new in po/*.po:"
for po in po/*.po; do
    printf '  %s: ' "$po"
    msgfmt --statistics -o /dev/null "$po"
done
