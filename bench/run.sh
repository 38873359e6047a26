#!/usr/bin/env bash
# The benchmark entry point: builds the program, a corpus and the peers, runs
# every workload beside its peers in the same run and prints one table
# (seconds, output bytes, similarity where it applies, ours/best-peer ratios).
#
#   bench/run.sh [--quick] [--build DIR] [--jobs N]
#
#   --quick      2 photos and 1 HEIC instead of 4 and 2, no codec workload
#   --build DIR  build folder (default build-bench; configured RelWithDebInfo
#                when new); the corpus is kept there between runs
#   --jobs N     files at once for every tool (default: the number of cores)
#
# Workloads: conversion of 12-megapixel JPEGs and HEICs (and a PNG with alpha,
# a TIFF, a WebP and an animated GIF) to jpg/png/bmp/webp/tif beside vips and
# ImageMagick; the 200 KB target beside jpegoptim --size=200k; resize and
# rotate beside vips and ImageMagick; photos to PDF and PDF pages to PNG
# beside img2pdf, pdftoppm and mutool; then bench/gif (beside gifsicle),
# bench/pdf and bench/codec as they are. The peers are installed for the
# benchmark only (apt-get, no recommends); the program never calls them.
set -euo pipefail
cd "$(dirname "$0")/.."

QUICK=0
BUILD=build-bench
JOBS=$(nproc)
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) QUICK=1 ;;
        --build) BUILD="$2"; shift ;;
        --jobs) JOBS="$2"; shift ;;
        -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

# 1. Peers and the corpus's tools.
PEERS=(libvips-tools imagemagick jpegoptim gifsicle img2pdf poppler-utils mupdf-tools libheif-examples
       python3 g++ libgif-dev)
missing=()
for p in "${PEERS[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "installing for the benchmark: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# 2. The program, optimised.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_BENCH=ON >/dev/null
echo "building in $BUILD ..." >&2
cmake --build "$BUILD" --target quorvel-cli imgsim qvgifconv qvpdfrender >/dev/null

# 3. One environment for every tool: the packaged ImageMagick first in PATH
# (the older scripts call it by name), a private runtime folder.
WORK="$BUILD/bench-run"
mkdir -p "$WORK/bin" "$WORK/runtime"
chmod 700 "$WORK/runtime"
for tool in convert identify compare; do
    ln -sf "/usr/bin/$tool" "$WORK/bin/$tool"
done
export PATH="$PWD/$WORK/bin:$PATH"
export XDG_RUNTIME_DIR="$PWD/$WORK/runtime"

# 4. The corpus (kept in the build folder).
if [ "$QUICK" = 1 ]; then
    CORPUS="$BUILD/bench-corpus-quick"
    bench/workloads/make_corpus.sh "$CORPUS" 2 1
else
    CORPUS="$BUILD/bench-corpus"
    bench/workloads/make_corpus.sh "$CORPUS" 4 2
fi

# 5. The workloads and the table.
args=(--build "$BUILD" --corpus "$CORPUS" --work "$WORK" --jobs "$JOBS")
[ "$QUICK" = 1 ] && args+=(--quick)
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
python3 bench/workloads/bench.py "${args[@]}"
