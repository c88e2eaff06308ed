#!/bin/sh
# Times Close List on a generated list of TASKS tasks after an AT-SPI client read the grid's cells
# (ROWS rows of it; all of them when ROWS is 0 or left out, none when it is -1), on a virtual X
# display with its own D-Bus session and accessibility bus.
#
#   bench/close_list_with_reader.sh BUILD_DIR TASKS [ROWS]
#
# Needs the Debian packages xvfb, xauth, dbus, at-spi2-core and python3-pyatspi.
set -eu
build=$1
tasks=$2
rows=${3:-0}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/src/quillon-cli" generate "$work/list.ql1" "$tasks" --seed 42
xvfb-run -a -s '-screen 0 1600x1000x24' dbus-run-session -- \
    /usr/bin/python3 "$here/close_list_with_reader.py" --rows "$rows" \
    "$build/bench/close_list_harness" "$work/list.ql1"
