#!/usr/bin/env bash
# Runs the whole test suite. Unit tests run on the offscreen platform (ctest
# sets it per test); the whole run sits inside a virtual X server so that the
# window test can start the real program.
# Usage: ./scripts/test.sh [extra ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-$(nproc)}"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" \
        ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" "$@"
fi
exec ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" "$@"
