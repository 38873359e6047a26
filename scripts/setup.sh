#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, then configures and builds.
# Usage: ./scripts/setup.sh [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    build-essential cmake ninja-build pkg-config ccache git
    qtbase5-dev qtbase5-dev-tools libqt5svg5-dev qt5-image-formats-plugins
    qttools5-dev qttools5-dev-tools libqt5x11extras5-dev
    libfreeimage-dev libraw-dev libheif-dev libpng-dev zlib1g-dev libgif-dev libimagequant-dev
    libpoppler-qt5-dev libqpdf-dev libtiff-dev libuemf-dev libjpeg-dev libturbojpeg0-dev
    xvfb xauth x11-apps x11-utils imagemagick
    fonts-wqy-microhei
    libheif-examples poppler-utils qpdf
    clang-format-14
    qtwebengine5-dev libqt5webchannel5-dev
    libcpp-httplib-dev libtesseract-dev tesseract-ocr tesseract-ocr-eng tesseract-ocr-chi-sim
    libopencv-dev libsqlite3-dev sqlite3 libxlsxwriter-dev libzip-dev
    help2man appstream desktop-file-utils dpkg-dev file groff-base man-db tmux
    clang-14 lld-14
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR="${BUILD_DIR:-build}"
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${LAUNCHER[@]}" "$@"
cmake --build "$BUILD_DIR"
