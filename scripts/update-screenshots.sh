#!/usr/bin/env bash
# Copies the window screenshots the test suite takes (install_prefix, under
# ./scripts/test.sh) into dist/screenshots, where the AppStream metainfo
# points. Run after the suite when the window's look changed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
mkdir -p dist/screenshots
for shot in image-convert pdf-to-pic; do
    [ -f "$BUILD_DIR/screenshots/$shot.png" ] || { echo "no $BUILD_DIR/screenshots/$shot.png: run ./scripts/test.sh -R install_prefix"; exit 1; }
    # Smaller files for the same pixels.
    convert "$BUILD_DIR/screenshots/$shot.png" -strip -define png:compression-level=9 "dist/screenshots/$shot.png"
    echo "dist/screenshots/$shot.png: $(du -k "dist/screenshots/$shot.png" | cut -f1) KB"
done
