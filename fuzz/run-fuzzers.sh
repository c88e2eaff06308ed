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
# (reader.dict for reader_fuzz) beside this script is passed with -dict. Options after "--" go to
# every target.
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

# Runs $target's executable on its corpus with the common options, its dictionary if it has one,
# and the given extra options.
run_target() {
    dict=$here/${target%_fuzz}.dict
    [ -f "$dict" ] && set -- -dict="$dict" "$@"
    "$exe" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$@"
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
