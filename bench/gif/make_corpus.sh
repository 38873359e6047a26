#!/usr/bin/env bash
# Renders the benchmark's animated GIFs with ImageMagick (nothing is downloaded).
# Each stands for a kind of GIF users shrink: a camera pan over a photograph, a
# zoom where every pixel changes (video), a sprite over a still photo, a hue-cycling
# gradient, a transparent sticker with disposal, and a screen recording of text.
# Usage: make_corpus.sh <output folder>
set -euo pipefail
out="${1:?output folder}"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# A photograph-like picture: fractal plasma, softened, with fine grain.
convert -seed 11 -size 960x540 plasma:fractal -blur 0x2 -modulate 100,140 \
    -attenuate 0.4 +noise Gaussian "$tmp/photo.png"

# 1. Pan: a 480x270 window sliding over the photograph, 36 frames.
for i in $(seq 0 35); do
    convert "$tmp/photo.png" -crop "480x270+$((i * 12))+$((i * 5))" +repage "$tmp/pan_$(printf %02d "$i").png"
done
convert -delay 6 -loop 0 "$tmp"/pan_*.png "$out/pan.gif"

# 2. Zoom: every pixel changes each frame, like a clip cut from a video.
for i in $(seq 0 29); do
    s=$(echo "1 + $i * 0.012" | bc -l)
    convert "$tmp/photo.png" -distort SRT "480,270 $s 0" -gravity center -crop 400x300+0+0 +repage \
        "$tmp/zoom_$(printf %02d "$i").png"
done
convert -delay 5 -loop 0 "$tmp"/zoom_*.png "$out/zoom.gif"

# 3. Sprite: a ball and a caption moving over a still photograph, optimised layers.
convert "$tmp/photo.png" -resize 360x200! "$tmp/still.png"
for i in $(seq 0 39); do
    x=$((20 + i * 8))
    y=$((100 + (i % 10) * 6 - 30))
    convert "$tmp/still.png" -fill '#e02020' -stroke black -draw "circle $x,$y $((x + 18)),$y" \
        -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 18 -annotate "+$((300 - i * 6))+190" 'quorvel' \
        "$tmp/sprite_$(printf %02d "$i").png"
done
convert -delay 4 -loop 0 "$tmp"/sprite_*.png -layers Optimize "$out/sprite.gif"

# 4. Gradient: a radial gradient rolling and shifting hue (banding-prone).
convert -size 300x300 radial-gradient:'#ffd040'-'#402080' "$tmp/grad.png"
for i in $(seq 0 23); do
    convert "$tmp/grad.png" -roll "+$((i * 12))+$((i * 6))" -modulate 100,100,$((100 + i * 8)) \
        "$tmp/grad_$(printf %02d "$i").png"
done
convert -delay 8 -loop 0 "$tmp"/grad_*.png "$out/gradient.gif"

# 5. Sticker: flat shapes on transparency, each frame disposed to background.
for i in $(seq 0 23); do
    a=$((i * 15))
    convert -size 240x240 xc:none -fill '#3a7bd5' -stroke '#102040' -strokewidth 3 \
        -draw "translate 120,120 rotate $a rectangle -50,-50 50,50" \
        -fill '#f5c518' -draw "circle $((60 + i * 5)),60 $((75 + i * 5)),60" \
        -fill '#e03050' -stroke none -draw "ellipse 120,$((200 - (i % 12) * 4)) 30,12 0,360" \
        "$tmp/sticker_$(printf %02d "$i").png"
done
convert -dispose Background -delay 7 -loop 0 "$tmp"/sticker_*.png "$out/sticker.gif"

# 6. Screen recording: lines of text typed onto a white page.
text="The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs."
for i in $(seq 0 29); do
    n=$(( (i + 1) * ${#text} * 3 / 30 ))
    l1="${text:0:$(( n < ${#text} ? n : ${#text} ))}"
    r=$(( n - ${#text} )); [ $r -lt 0 ] && r=0
    l2="${text:0:$(( r < ${#text} ? r : ${#text} ))}"
    r2=$(( r - ${#text} )); [ $r2 -lt 0 ] && r2=0
    l3="${text:0:$(( r2 < ${#text} ? r2 : ${#text} ))}"
    convert -size 480x200 xc:white -fill '#203040' -font DejaVu-Sans -pointsize 11 \
        -annotate +10+40 "$l1" -annotate +10+80 "$l2" -annotate +10+120 "$l3" \
        -fill '#2a6fdb' -draw "rectangle 0,0 480,18" "$tmp/text_$(printf %02d "$i").png"
done
convert -delay 10 -loop 0 "$tmp"/text_*.png -layers Optimize "$out/text.gif"

ls -l "$out"
