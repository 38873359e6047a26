#!/usr/bin/env bash
# Builds the benchmark's image corpus in a folder, once (later runs reuse what
# is there). Nothing is downloaded but a Debian package:
#   photos/  12-megapixel (4000x3000) JPEGs, quality 92, 4:2:0 as cameras write
#            them: crops of a photographed painting and photographs (upscaled,
#            with sensor-like grain) from Debian's mate-backgrounds package,
#            unpacked here (not installed); generated pictures if it cannot
#            be had;
#   heic/    the first photos as HEIC (heif-enc, quality 60);
#   mixed/   a PNG with alpha, a TIFF, a lossy WebP and an animated GIF;
#   pdf/     an 8-page PDF of 12 x 9 inch photo pages (img2pdf).
# Usage: make_corpus.sh <folder> <photos> <heics>
set -euo pipefail
out="${1:?folder}"
photos="${2:-4}"
heics="${3:-2}"
IM=/usr/bin/convert
mkdir -p "$out/photos" "$out/heic" "$out/mixed" "$out/pdf"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Sources: name, geometry of the 4:3 crop taken before scaling to 4000x3000,
# grain (sensor-like noise added to upscaled pictures).
sources=(
    "abstract/Elephants_5640x3172.jpg 4000x3000+0+0 0"
    "abstract/Elephants_5640x3172.jpg 4000x3000+1640+172 0"
    "nature/Wood.jpg 2560x1920+0+0 0.35"
    "nature/TwoWings.jpg 2133x1600+213+0 0.35"
    "nature/LadyBird.jpg 2133x1600+213+0 0.35"
    "nature/Garden.jpg 2133x1600+213+0 0.35"
)
have=$(find "$out/photos" -name "p*.jpg" | wc -l)
if [ "$have" -lt "$photos" ]; then
    backgrounds=""
    if (cd "$tmp" && apt-get download mate-backgrounds >/dev/null 2>&1); then
        dpkg-deb -x "$tmp"/mate-backgrounds_*.deb "$tmp/x"
        backgrounds="$tmp/x/usr/share/backgrounds/mate"
    else
        echo "mate-backgrounds cannot be had: generating the photos instead" >&2
    fi
    for i in $(seq 1 "$photos"); do
        target="$out/photos/$(printf 'p%02d' "$i").jpg"
        [ -f "$target" ] && continue
        read -r file crop grain <<<"${sources[$(( (i - 1) % ${#sources[@]} ))]}"
        if [ -n "$backgrounds" ]; then
            noise=()
            [ "$grain" != 0 ] && noise=(-attenuate "$grain" +noise Gaussian)
            "$IM" "$backgrounds/$file" -crop "$crop" +repage -resize '4000x3000!' "${noise[@]}" \
                -sampling-factor 2x2 -quality 92 "$target"
        else
            "$IM" -size 4000x3000 -seed "$i" plasma:fractal -blur 0x1.5 -attenuate 0.3 +noise Gaussian \
                -sampling-factor 2x2 -quality 92 "$target"
        fi
    done
fi

for i in $(seq 1 "$heics"); do
    name=$(printf 'p%02d' "$i")
    [ -f "$out/heic/$name.heic" ] || heif-enc -q 60 -o "$out/heic/$name.heic" "$out/photos/$name.jpg" >/dev/null
done

first="$out/photos/p01.jpg"
if [ ! -f "$out/mixed/cutout.png" ]; then
    # A 3000x2250 photo with a soft round alpha mask, the same photo as TIFF
    # and as lossy WebP, and a 24-frame animated GIF panning over it.
    "$IM" "$first" -resize 3000x2250 "$tmp/base.png"
    "$IM" -size 3000x2250 radial-gradient:white-black -level 30%,60% "$tmp/mask.png"
    "$IM" "$tmp/base.png" "$tmp/mask.png" -alpha off -compose CopyOpacity -composite "$out/mixed/cutout.png"
    "$IM" "$tmp/base.png" -compress lzw "$out/mixed/scan.tif"
    "$IM" "$tmp/base.png" -quality 85 "$out/mixed/shot.webp"
    for f in $(seq 0 23); do
        "$IM" "$tmp/base.png" -crop "800x600+$((f * 60))+$((f * 40))" +repage "$tmp/f$(printf %02d "$f").png"
    done
    "$IM" -delay 8 -loop 0 "$tmp"/f*.png -layers Optimize "$out/mixed/pan.gif"
fi

if [ ! -f "$out/pdf/photos.pdf" ]; then
    for i in $(seq 1 8); do
        src="$out/photos/$(printf 'p%02d' $(( (i - 1) % photos + 1 ))).jpg"
        flip=()
        [ "$i" -gt "$photos" ] && flip=(-flop)
        # 200 dpi: every page 12 x 9 inches, whatever density the source had.
        "$IM" "$src" "${flip[@]}" -resize 2400x1800 -units PixelsPerInch -density 200 -quality 90 \
            "$tmp/page$i.jpg"
    done
    img2pdf -o "$out/pdf/photos.pdf" "$tmp"/page*.jpg
fi
du -sh "$out"/* >&2
