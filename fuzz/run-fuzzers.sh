#!/bin/sh
# Runs libFuzzer targets for a bounded time each.
#
#   fuzz/run-fuzzers.sh BUILD_DIR SECONDS [TARGET...] [-- LIBFUZZER_OPTION...]
#
# BUILD_DIR is a build configured with -DQUILLON_FUZZ=ON and clang. Each TARGET names a *_fuzz
# executable of BUILD_DIR/fuzz (filter_fuzz, ...); without targets every *_fuzz executable there
# runs. Each target runs for SECONDS seconds on its corpus folder (CORPUS_ROOT/corpus-TARGET,
# CORPUS_ROOT defaulting to this script's folder, where git ignores corpus-*), which grows from run
# to run; crashing inputs go to corpus-TARGET-artifacts/. A dictionary named after the target
# (reader.dict for reader_fuzz) beside this script is passed with -dict. A committed seed folder
# beside this script, seeds-TARGET (seeds-reader_fuzz for reader_fuzz), is read as well: its inputs
# start the corpus but are never changed. Options after "--" go to every target.
#
# Input size: libFuzzer keeps inputs to the size of the largest input in the corpus and seeds, and
# at least 4096 bytes. Inputs whose reading grows with the square of their size only show as slow
# (over the 10 s timeout) when they are large, so allow larger ones for such a hunt:
#
#   MAX_LEN=1000000 fuzz/run-fuzzers.sh build-fuzz 600 reader_fuzz
#   fuzz/run-fuzzers.sh build-fuzz 600 reader_fuzz -- -max_len=1000000 -len_control=0
#
# MAX_LEN, when set, passes -max_len=MAX_LEN to every target; a -max_len after "--" wins over it.
# libFuzzer raises the size it tries towards the maximum only slowly; -len_control=0 lets it try
# any size up to the maximum from the start. The filter fuzzer ignores inputs over 4096 bytes.
# Exits non-zero when any target fails.
set -u

usage() {
    echo "usage: $0 BUILD_DIR SECONDS [TARGET...] [-- LIBFUZZER_OPTION...]" >&2
    exit 2
}

[ $# -ge 2 ] || usage
build=$1
seconds=$2
shift 2
case $seconds in
'' | *[!0-9]*) usage ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
corpus_root=${CORPUS_ROOT:-$here}
max_len=${MAX_LEN:-}
case $max_len in
*[!0-9]*) echo "$0: MAX_LEN must be a number of bytes" >&2; exit 2 ;;
esac

targets=
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    case $1 in
    *_fuzz) targets="$targets $1" ;;
    *) echo "$0: $1 is not a *_fuzz target" >&2; exit 2 ;;
    esac
    shift
done
[ $# -gt 0 ] && shift # the "--"

if [ -z "$targets" ]; then
    for exe in "$build"/fuzz/*_fuzz; do
        [ -x "$exe" ] && targets="$targets $(basename "$exe")"
    done
fi
if [ -z "$targets" ]; then
    echo "$0: no *_fuzz targets in $build/fuzz (configure with -DQUILLON_FUZZ=ON and build them)" >&2
    exit 2
fi

# Runs $target's executable on its corpus (and seeds) with the common options, its dictionary if it
# has one, the size limit if one is set, and the given extra options, in that order: libFuzzer takes
# the last of an option given twice.
run_target() {
    [ -n "$max_len" ] && set -- -max_len="$max_len" "$@"
    dict=$here/${target%_fuzz}.dict
    [ -f "$dict" ] && set -- -dict="$dict" "$@"
    set -- -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -artifact_prefix="$artifacts/" \
        -print_final_stats=1 "$@"
    seeds=$here/seeds-$target
    [ -d "$seeds" ] && set -- "$seeds" "$@"
    "$exe" "$corpus" "$@"
}

status=0
for target in $targets; do
    exe=$build/fuzz/$target
    if [ ! -x "$exe" ]; then
        echo "$0: $exe is missing" >&2
        status=1
        continue
    fi
    corpus=$corpus_root/corpus-$target
    artifacts=$corpus_root/corpus-$target-artifacts
    mkdir -p "$corpus" "$artifacts"
    echo "== $target for ${seconds}s (corpus $corpus)"
    if ! run_target "$@"; then
        echo "== $target FAILED: see $artifacts" >&2
        status=1
    fi
done
exit $status
