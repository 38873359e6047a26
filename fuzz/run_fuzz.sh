#!/usr/bin/env bash
# Runs one decoder's libFuzzer target for a while, from the seed corpus.
# Usage: fuzz/run_fuzz.sh <fuzz build dir> <decoder> <seconds> [extra libFuzzer options]
# Decoders: system data gif freeimage raw heif svg metafile.
# Everything lands in <build>/fuzz-runs/<decoder>/: the growing corpus,
# findings/ (crashing, hanging or over-allocating inputs) and fuzz-0.log
# (executions, coverage, final statistics).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
decoder=$2
seconds=$3
shift 3
# The seed maker is test-fixture code, not under test: its leaks are not
# findings. Made once, into a temporary folder moved into place, so that
# runs started together do not see a half-made set.
if [ ! -d "$build/seeds" ]; then
    tmp=$(mktemp -d "$build/seeds.XXXXXX")
    (cd "$build" && ASAN_OPTIONS=detect_leaks=0 ./fuzz_make_seeds "$tmp")
    mv -T "$tmp" "$build/seeds" 2>/dev/null || rm -rf "$tmp"
fi
run="$build/fuzz-runs/$decoder"
mkdir -p "$run/corpus" "$run/findings"
cd "$run"
seeds="$build/seeds/$decoder"
[ -d "$seeds" ] || seeds=""
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:malloc_context_size=20}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}
# -jobs=1: one fuzzing process at a time, in a child that logs to fuzz-0.log.
"$build/fuzz_codec_$decoder" -jobs=1 -workers=1 -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=3072 -malloc_limit_mb=512 -max_len=16384 -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix=findings/ "$@" corpus $seeds > run.log 2>&1 || true
grep -E "stat::number_of_executed_units|stat::peak_rss|Done|ERROR|SUMMARY|Test unit written" fuzz-0.log | tail -8
