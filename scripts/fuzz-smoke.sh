#!/usr/bin/env bash
# A short run of every libFuzzer target, for CI: builds the fuzzing tree
# (clang, AddressSanitizer and UBSan) and runs each decoder's target for a
# few seconds from its seeds. Fails on any finding, and when the whole
# smoke would take longer than its budget.
# Usage: scripts/fuzz-smoke.sh [seconds per target (30)] [overall budget in seconds (900)]
set -euo pipefail
cd "$(dirname "$0")/.."
per_target=${1:-30}
budget=${2:-900}
build=${FUZZ_BUILD_DIR:-build-fuzz}
deadline=$((SECONDS + budget))

LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=ON "${LAUNCHER[@]}" >/dev/null
timeout $((deadline - SECONDS)) cmake --build "$build" --target fuzz_codec_all

failed=0
for decoder in system data gif freeimage raw heif svg metafile; do
    left=$((deadline - SECONDS))
    if [ "$left" -lt "$per_target" ]; then
        echo "fuzz smoke: out of time before $decoder (budget ${budget}s)" >&2
        exit 1
    fi
    rm -rf "$build/fuzz-runs/$decoder"
    echo "fuzz smoke: $decoder for ${per_target}s"
    fuzz/run_fuzz.sh "$build" "$decoder" "$per_target"
    if [ -n "$(ls -A "$build/fuzz-runs/$decoder/findings" 2>/dev/null)" ]; then
        echo "fuzz smoke: $decoder found:" "$build/fuzz-runs/$decoder/findings"/* >&2
        failed=1
    fi
done
exit $failed
