#!/usr/bin/env bash
# Times loading and saving of large images per decoder (see codecbench.cpp).
# Usage: bench/codec/run.sh [build-dir] [repetitions]   (default build-codec, 3)
# Build with optimisation (RelWithDebInfo or Release) for meaningful figures;
# the fixtures (about 250 MB) are kept in <build-dir>/bench-codec-fixtures.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD="${1:-build-codec}"
REPS="${2:-3}"
cmake --build "$BUILD" --target codecbench >/dev/null
"$BUILD/codecbench" "$BUILD/bench-codec-fixtures" "$REPS"
