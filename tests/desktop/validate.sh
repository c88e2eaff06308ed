#!/usr/bin/env bash
# Checks the files that `cmake --install` puts beside the programs with the desktop's own tools.
#   validate.sh KIND TREE
# TREE is an installed tree (PREFIX); KIND is one of
#   layout    every file in its place, and the programs' --version
#   entry     the desktop entry, with desktop-file-validate
#   metainfo  the AppStream metadata, with appstreamcli validate --no-net --pedantic
#   mime      the file type package: well-formed (xmllint), taken by update-mime-database, and
#             xdg-mime finds the type of a list by name and by content, and Quillon as its program
#   man       the manual pages, with groff -ww and man --warnings
# A missing tool skips the check (exit 77) and says which; bash build.sh installs them all.
set -euo pipefail

kind=$1
tree=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
id=org.example.Quillon

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIPPED: $tool is not installed (bash build.sh installs it)"
            exit 77
        fi
    done
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Runs a validator and fails on any output it gives besides its own success line.
quiet() {
    local out
    out=$("$@" 2>&1) || fail "$* exits $?: $out"
    out=$(grep -v -e '^$' -e '^✔ Validation was successful' <<<"$out" || true)
    [ -z "$out" ] || fail "$* says: $out"
}

case $kind in
layout)
    for file in bin/quillon bin/quillon-cli share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
        share/mime/packages/$id.xml share/icons/hicolor/scalable/apps/$id.svg share/man/man1/quillon.1.gz \
        share/man/man1/quillon-cli.1.gz share/doc/quillon/copyright share/doc/quillon/changelog.gz; do
        [ -f "$tree/$file" ] || fail "$file is not installed"
    done
    for size in 16 22 24 32 48 64 128 256; do
        png=$tree/share/icons/hicolor/${size}x$size/apps/$id.png
        [ -f "$png" ] || fail "no $size pixel icon"
        # The PNG header gives the width and height at bytes 16 to 23.
        read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
            awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
        [ "$width $height" = "$size $size" ] || fail "the $size pixel icon is $width by $height"
    done
    version=$("$tree/bin/quillon-cli" --version)
    [[ $version == "quillon-cli "[0-9]* ]] || fail "quillon-cli --version prints: $version"
    # The installed window program keeps its files in the configuration folder.
    out=$(XDG_CONFIG_HOME=/nonexistent/config "$tree/bin/quillon" --version)
    [[ $out == "quillon ${version#quillon-cli }"$'\n'"Recent files and categories: /nonexistent/config/Quillon" ]] ||
        fail "installed quillon --version prints: $out"
    ;;
entry)
    need desktop-file-validate
    quiet desktop-file-validate "$tree/share/applications/$id.desktop"
    ;;
metainfo)
    need appstreamcli
    quiet appstreamcli validate --no-net "$tree/share/metainfo/$id.metainfo.xml"
    # Pedantic notes are printed but pass; only a failing exit fails.
    appstreamcli validate --no-net --pedantic "$tree/share/metainfo/$id.metainfo.xml" ||
        fail "appstreamcli validate --pedantic fails"
    ;;
mime)
    need xmllint update-mime-database update-desktop-database xdg-mime mimetype
    quiet xmllint --noout "$tree/share/mime/packages/$id.xml"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/share/mime/packages" "$work/share/applications"
    cp "$tree/share/mime/packages/$id.xml" "$work/share/mime/packages/"
    cp "$tree/share/applications/$id.desktop" "$work/share/applications/"
    export XDG_DATA_HOME=$work/share XDG_DATA_DIRS=/usr/share
    quiet update-mime-database "$work/share/mime"
    quiet update-desktop-database "$work/share/applications"
    cp "$here/../data/one-task-added.ql1" "$work/Plan.ql1"
    cp "$here/../data/one-task-added.ql1" "$work/a list without its extension"
    for file in "$work/Plan.ql1" "$work/a list without its extension"; do
        type=$(xdg-mime query filetype "$file")
        [ "$type" = application/x-quillon-list ] || fail "xdg-mime gives $type for $(basename "$file")"
    done
    program=$(xdg-mime query default application/x-quillon-list)
    [ "$program" = "$id.desktop" ] || fail "xdg-mime opens lists with '$program'"
    ;;
man)
    need groff man
    for page in quillon quillon-cli; do
        file=$tree/share/man/man1/$page.1.gz
        out=$(zcat "$file" | groff -ww -man -z 2>&1) || fail "groff fails on $page.1"
        [ -z "$out" ] || fail "groff warns on $page.1: $out"
        out=$(man --warnings -l "$file" 2>&1 >/dev/null) || fail "man fails on $page.1"
        [ -z "$out" ] || fail "man warns on $page.1: $out"
    done
    ;;
*)
    echo "usage: validate.sh layout|entry|metainfo|mime|man TREE" >&2
    exit 2
    ;;
esac
echo "validate $kind: passed"
