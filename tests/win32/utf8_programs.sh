# Sourced by the Windows case scripts: copies of animmake.exe and animdump.exe (with the DLLs beside them)
# whose manifest asks for the UTF-8 code page, made in DIR/utf-8-programs. The manifest keeps a comment as
# long as the element or longer where the element goes.
#   utf8_program_copies WIN32_BUILD DIR   (prints the copies' folder; fails when a manifest has no room)
utf8_program_copies() {
    local from="$1" copies="$2/utf-8-programs" program
    mkdir -p "$copies" || return 2
    cp "$from"/*.exe "$from"/*.dll "$copies/" || return 2
    for program in animmake animdump; do
        perl -0777 -pi -e 's{<!-- code page: the system.s;[^>]*-->}{
            my $element = q{<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>};
            my $pad = length($&) - length($element);
            die "no room for the element\n" if $pad < 0;
            $element =~ s/ xmlns/" " x ($pad + 1) . "xmlns"/e;
            $element}e' "$copies/$program.exe" || return 2
        grep -q -a 'UTF-8</activeCodePage>' "$copies/$program.exe" || return 2
    done
    printf '%s\n' "$copies"
}
