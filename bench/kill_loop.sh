#!/bin/sh
# Kills `quillon-cli copy` of a large list at random moments and counts what the kills left behind:
# a target that is neither the old list nor the complete copy is damaged; any other file in the
# folder is a leftover of an unfinished write.
#
#   bench/kill_loop.sh QUILLON_CLI [KILLS] [TASKS] [writing|anywhere]
#
# KILLS (default 300) counts only runs that were really killed before they finished; TASKS (default
# 100000) is the size of the copied list. Most of a copy is reading and laying out the list; the
# file is written at its end. "writing" (the default) waits until the copy has begun to write the
# file (its written-bytes count in /proc passes a megabyte) and kills it at a random moment of the time writing takes;
# "anywhere" kills it at a random moment of the whole copy. Works in a temporary folder that it
# removes at the end.
set -eu

cli=$(realpath "$1")
kills=${2:-300}
tasks=${3:-100000}
mode=${4:-writing}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Waits until process $1 has written its first megabyte, or has ended (then fails). The threshold
# passes over the few bytes a program writes while it starts (Qt's event notifications count too).
wait_for_writing() {
    while [ -r "/proc/$1/io" ]; do
        written=$(awk '/^wchar:/ { print $2 }' "/proc/$1/io" 2>/dev/null || echo 0)
        [ "${written:-0}" -gt 1048576 ] && return 0
    done
    return 1
}

"$cli" generate source.ql1 "$tasks" --seed 42
"$cli" generate old.ql1 1000 --seed 7
"$cli" copy source.ql1 expected.ql1

# How long one copy takes, and how long its writing does, in milliseconds.
cp old.ql1 target.ql1
start=$(now_ms)
"$cli" copy source.ql1 target.ql1 &
pid=$!
wait_for_writing "$pid" || true
writing=$(now_ms)
wait "$pid"
end=$(now_ms)
if [ "$mode" = anywhere ]; then span=$((end - start)); else span=$((end - writing)); fi
echo "one copy of $tasks tasks: $((end - start)) ms, of which writing $((end - writing)) ms; kills: $mode"

killed=0
finished=0
damaged=0
leftovers=0
while [ "$killed" -lt "$kills" ]; do
    cp old.ql1 target.ql1
    "$cli" copy source.ql1 target.ql1 &
    pid=$!
    delay=$(awk -v r="$(od -An -N4 -tu4 /dev/urandom)" -v span="$span" \
        'BEGIN { printf "%.3f", (r % 1000000) / 1000000 * span / 1000 }')
    if [ "$mode" = anywhere ] || wait_for_writing "$pid"; then
        sleep "$delay"
    fi
    if kill -KILL "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null || true
        killed=$((killed + 1))
    else
        wait "$pid" 2>/dev/null || true
        finished=$((finished + 1))
    fi
    if ! cmp -s target.ql1 old.ql1 && ! cmp -s target.ql1 expected.ql1; then
        damaged=$((damaged + 1))
    fi
    extra=$(ls -A | grep -v -x -e source.ql1 -e old.ql1 -e expected.ql1 -e target.ql1 || true)
    if [ -n "$extra" ]; then
        leftovers=$((leftovers + 1))
        echo "$extra" | while IFS= read -r name; do rm -f -- "$name"; done
    fi
done
echo "killed: $killed  finished before the kill: $finished  damaged targets: $damaged  runs with leftovers: $leftovers"
