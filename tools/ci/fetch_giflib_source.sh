#!/usr/bin/env bash
# Fetches giflib's source tarball (Debian's source package, upstream's own tarball) into DIR for the Windows
# build, which compiles it with mingw-w64 (Debian has no giflib for mingw). The tarball must match the
# SHA-256 pinned in cmake/giflib_windows.cmake; nothing fetched is committed.
#
#   tools/ci/fetch_giflib_source.sh [--add-sources] DIR
#
# --add-sources first gives apt a deb-src entry for each Debian deb entry that has none (the same URIs,
# Suites and Signed-By) and updates its lists: CI does this; a configure run only tries what apt has.
set -euo pipefail
options=()
if [[ ${1:-} == --add-sources ]]; then
    options+=(--add-sources)
    shift
fi
[[ $# -eq 1 ]] || { echo "usage: $0 [--add-sources] DIR" >&2; exit 2; }
exec "$(dirname "$0")/fetch_debian_source.sh" "${options[@]}" giflib cmake/giflib_windows.cmake ANIMCONV_GIFLIB "$1"
