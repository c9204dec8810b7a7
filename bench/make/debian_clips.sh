# Sourced by the benchmarks on real footage: clip_path PACKAGE FILE prints where FILE of the Debian
# package PACKAGE lies in the cache $cache, fetching the package once with apt-get download; nothing when it
# cannot be had (the caller says so and goes on). Nothing fetched is kept in the repository.
clip_path() {
    local package=$1 file=$2
    if [[ ! -f "$cache/$package/$file" ]]; then
        mkdir -p "$cache/$package"
        if ! (cd "$cache/$package" && apt-get download "$package" >/dev/null 2>&1); then
            return 0
        fi
        dpkg-deb -x "$cache/$package"/"$package"_*.deb "$cache/$package" && rm -f "$cache/$package"/*.deb
    fi
    [[ -f "$cache/$package/$file" ]] && echo "$cache/$package/$file"
    return 0
}
