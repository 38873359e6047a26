#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it: the files a
# desktop needs are in it, the desktop entry and the metainfo validate, the
# library dependencies were computed, and the links in /usr/bin lead into
# /usr/lib/quorvel.
# Usage: ./scripts/package.sh   (after ./scripts/setup.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
version=$(sed -n 's/^project(quorvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$BUILD_DIR/quorvel_${version}_amd64.deb"
rm -f "$deb"
(cd "$BUILD_DIR" && cpack -G DEB > cpack.log) || { cat "$BUILD_DIR/cpack.log"; exit 1; }
[ -f "$deb" ] || { echo "FAIL: cpack made no $deb"; ls "$BUILD_DIR"/*.deb; exit 1; }

fail() { echo "FAIL: $*"; exit 1; }
listing=$(dpkg-deb -c "$deb")
for f in \
    ./usr/bin/quorvel ./usr/bin/quorvel-cli \
    ./usr/lib/quorvel/quorvel ./usr/lib/quorvel/quorvel-cli ./usr/lib/quorvel/quorvel-decode \
    ./usr/lib/quorvel/libqvgifconv.so ./usr/lib/quorvel/libqvpdfrender.so ./usr/lib/quorvel/libqvpdfwrite.so \
    ./usr/lib/quorvel/libqvsvgrender.so \
    ./usr/lib/quorvel/res/default.rcc ./usr/lib/quorvel/res/quorvel.qm \
    ./usr/share/applications/quorvel.desktop \
    ./usr/share/icons/hicolor/scalable/apps/quorvel.svg \
    ./usr/share/icons/hicolor/48x48/apps/quorvel.png \
    ./usr/share/icons/hicolor/256x256/apps/quorvel.png \
    ./usr/share/metainfo/io.github.quorvel.Quorvel.metainfo.xml \
    ./usr/share/man/man1/quorvel.1.gz ./usr/share/man/man1/quorvel-cli.1.gz \
    ./usr/share/bash-completion/completions/quorvel-cli; do
    grep -q " $f\( -> .*\)\?$" <<< "$listing" || fail "$f is not in the package"
done
grep -q ' ./usr/bin/quorvel -> ../lib/quorvel/quorvel$' <<< "$listing" || fail "/usr/bin/quorvel is not a link"
# The service comes with its unit and manual page when it is part of the build.
if grep -q ' ./usr/lib/quorvel/quorvel-service$' <<< "$listing"; then
    for f in ./usr/bin/quorvel-service ./usr/lib/systemd/user/quorvel-service.service \
        ./usr/share/man/man1/quorvel-service.1.gz; do
        grep -q " $f\( -> .*\)\?$" <<< "$listing" || fail "$f is not in the package"
    done
fi

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5widgets5 libqt5gui5 libqt5core5a libqt5svg5 libqpdf29 libfreeimage3 libheif1 libgif7 libc6; do
    grep -q "$lib" <<< "$depends" || fail "Depends lacks $lib: $depends"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/quorvel.desktop"
grep -q '^Exec=/usr/bin/quorvel %F$' "$unpacked/usr/share/applications/quorvel.desktop" \
    || fail "the packaged desktop entry does not start /usr/bin/quorvel"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/io.github.quorvel.Quorvel.metainfo.xml"
# The stripped programs still run (from the unpacked tree, through the links).
[ "$("$unpacked/usr/bin/quorvel-cli" --version)" = "quorvel-cli $version" ] || fail "packaged quorvel-cli --version"
[ "$("$unpacked/usr/bin/quorvel" --version)" = "quorvel $version" ] || fail "packaged quorvel --version"
echo "$deb: $(du -k "$deb" | cut -f1) KB, checked"
