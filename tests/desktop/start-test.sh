#!/usr/bin/env bash
# Starts the real programs as a user does, in a real X server (Xvfb): the command line's answers
# without a display, where an installed program keeps its files, files opened from the command
# line, two starts in quick succession (one window, both lists, both remembered) and a start after
# a Quillon was killed and left its socket behind.
#   start-test.sh QUILLON QUILLON-CLI
# Needs xvfb-run and xdotool (bash build.sh installs them); exits 77 (skipped) without them.
set -euo pipefail

quillon=$(realpath "$1")
cli=$(realpath "$2")

for tool in xvfb-run xdotool xauth; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (bash build.sh installs it)"
        exit 77
    fi
done
if [ -z "${QUILLON_START_TEST_DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' env QUILLON_START_TEST_DISPLAY=1 "$0" "$@"
fi

work=$(mktemp -d)
started=()
cleanup() {
    for pid in "${started[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$work/portable" "$work/prefix/bin" "$work/prefix/share/applications" "$work/lists"
# A portable copy keeps its own files beside it, in a folder of this test.
cp "$quillon" "$work/portable/quillon"
quillon=$work/portable/quillon
cd "$work/lists"
for name in Alpha Beta Gamma; do
    "$cli" new "$name.ql1"
    "$cli" add "$name.ql1" "A task of $name"
done

echo "--- The command line's answers need no display"
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$quillon" --help) || fail "--help exits $?"
[[ $out == "Usage: quillon "* ]] || fail "--help prints: $out"
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$quillon" --version) || fail "--version exits $?"
[[ $out == "quillon "[0-9]*$'\n'"Recent files and categories: $work/portable" ]] || fail "--version prints: $out"
status=0
err=$(env -u DISPLAY -u QT_QPA_PLATFORM "$quillon" --no-such-option Alpha.ql1 2>&1 >/dev/null) || status=$?
[ "$status" -eq 2 ] || fail "an unknown option exits $status"
[[ $err == *"Try 'quillon --help'"* ]] || fail "an unknown option says: $err"

echo "--- An installed program keeps its files in the configuration folder"
cp "$quillon" "$work/prefix/bin/quillon"
touch "$work/prefix/share/applications/org.example.Quillon.desktop"
out=$("$work/prefix/bin/quillon" --version)
[[ $out == *"Recent files and categories: $XDG_CONFIG_HOME/Quillon" ]] || fail "installed --version prints: $out"

# Waits for the one visible window titled exactly $1 and prints its id.
window_titled() {
    timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}
visible_quillons() {
    xdotool search --onlyvisible --name '^Quillon( - .*)?$' | wc -l
}
# Ends the Quillon of window $1 and process $2 with its Exit key, as a user does.
exit_quillon() {
    xdotool windowfocus --sync "$1" key F10
    local status=0
    wait "$2" || status=$?
    [ "$status" -eq 0 ] || fail "Quillon ended with status $status after F10"
}

echo "--- Two starts in quick succession give one window with both lists"
"$quillon" "$work/lists/Alpha.ql1" &
first=$!
started+=("$first")
"$quillon" Beta.ql1 &
second=$!
started+=("$second")
status=0
wait -n -p ended "$first" "$second" || status=$?
[ "$status" -eq 0 ] || fail "the start that handed over its file ended with status $status"
if [ "$ended" = "$first" ]; then running=$second handed=Alpha; else running=$first handed=Beta; fi
kill -0 "$running" || fail "no Quillon is left running"
window=$(window_titled "Quillon - $handed")
[ -n "$window" ] || fail "the running Quillon did not open $handed.ql1"
[ "$(visible_quillons)" -eq 1 ] || fail "$(visible_quillons) Quillon windows are shown"
exit_quillon "$window" "$running"
dump=$("$cli" dump "$work/portable/Recent.XML")
for name in Alpha Beta; do
    grep -qF "File=$work/lists/$name.ql1" <<<"$dump" || fail "Recent.XML lacks $name.ql1: $dump"
done
[ ! -e "$XDG_RUNTIME_DIR/org.example.Quillon.$(id -u).socket" ] || fail "the socket outlives its Quillon"

echo "--- A Quillon that was killed leaves its socket, and the next start takes it over"
"$quillon" Gamma.ql1 &
killed=$!
started+=("$killed")
window_titled "Quillon - Gamma" >/dev/null
kill -9 "$killed"
wait "$killed" || true
[ -S "$XDG_RUNTIME_DIR/org.example.Quillon.$(id -u).socket" ] || fail "no socket was left behind"
"$quillon" Alpha.ql1 &
next=$!
started+=("$next")
window=$(window_titled "Quillon - Alpha")
[ -n "$window" ] || fail "the start after the crash shows no window"
kill -0 "$next" || fail "the start after the crash ended"
exit_quillon "$window" "$next"

echo "start-test: all checks passed"
