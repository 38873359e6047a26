#!/usr/bin/env bash
# Builds and runs the table recognition benchmark: 75 generated ruled tables
# (5 sizes x 5 merge patterns; clean PNG, scan-like JPEG and the same tilted
# by half a degree; four fonts).
#   bench/service/tables/run.sh [--build DIR] [tablebench options...]
set -euo pipefail
cd "$(dirname "$0")/../../.."
BUILD=build-tables-bench
if [ "${1:-}" = "--build" ]; then BUILD="$2"; shift 2; fi
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
[ -f "$BUILD/build.ninja" ] || cmake -S bench/service/tables -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" --target tablebench
"$BUILD/tablebench" "$@"
