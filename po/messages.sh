# The shared part of update_catalogue.sh and check_catalogue.sh (sourced): the message sources and how
# xgettext reads them. Locations name the file only, so that a moved line changes nothing in the catalogue.
message_sources() {
    find src/animdump src/make src/studio src/toolkit -name '*.cpp' -o -name '*.h' | LC_ALL=C sort
}
extract_messages() {  # OUTPUT [more xgettext options]: the messages marked with _() or N_()
    local output="$1"
    shift
    message_sources | xgettext --files-from=- --language=C++ --from-code=UTF-8 --keyword=_ --keyword=N_ \
        --add-comments=TRANSLATORS: --add-location=file --sort-output --no-wrap --package-name=animconv \
        --msgid-bugs-address=' ' --output="$output" "$@"
}
