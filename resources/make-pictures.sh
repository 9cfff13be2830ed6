#!/bin/sh
# Regenerates the program's pictures with ImageMagick:
#   MAINICON.png      32 x 32, 16-colour window and task-bar icon (a "Q" on a blue tile)
#   MAINICON-128.png  the same picture drawn at 128 x 128 and 256 x 256, smooth and in full
#   MAINICON-256.png  colour, for the desktop's menus and software centres
#   VER.jpg       130 x 260 baseline JFIF colour JPEG for the About box
# Run from any directory; the files are written next to this script.
set -eu
cd "$(dirname "$0")"

convert -size 32x32 xc:none +antialias \
  -fill '#000080' -draw 'roundrectangle 1,1 30,30 5,5' \
  -fill '#0000ff' -draw 'roundrectangle 3,3 28,28 4,4' \
  -stroke '#ffffff' -strokewidth 3 -fill none -draw 'circle 15,14 15,6' \
  -stroke '#ffff00' -strokewidth 3 -draw 'line 18,18 25,26' \
  -colors 16 -define png:bit-depth=4 -define png:color-type=3 \
  -define png:exclude-chunk=date,time PNG8:MAINICON.png

# The large icons draw the 32 x 32 shapes scaled by an affine transform. A pixel of the small icon
# becomes a square of s x s pixels: coordinate x maps to s * x + (s - 1) / 2, the centre of that
# square, so the tile, the ring and the handle land where they are on the small icon.
for s in 4 8; do
  size=$((32 * s))
  offset=$(awk "BEGIN { print ($s - 1) / 2 }")
  convert -size ${size}x${size} xc:none -affine "$s,0,0,$s,$offset,$offset" \
    -fill '#000080' -draw 'roundrectangle 1,1 30,30 5,5' \
    -fill '#0000ff' -draw 'roundrectangle 3,3 28,28 4,4' \
    -stroke '#ffffff' -strokewidth 3 -fill none -draw 'circle 15,14 15,6' \
    -stroke '#ffff00' -strokewidth 3 -draw 'line 18,18 25,26' \
    -strip -define png:exclude-chunk=date,time PNG32:MAINICON-$size.png
done

# A photograph-like scene: evening sky, a sun, layered hills with noise texture, a lake that
# mirrors the sky, and the program's name across the middle.
# The About box paints the pixels of exactly the bottom-left pixel's colour transparent. The
# picture therefore ends in a flat strip (rows 240 to 259) of a colour found nowhere else. The
# strip starts on an 8-pixel block boundary and chroma is not subsampled (1x1), so every pixel
# of the strip decodes to one and the same colour and no pixel of the scene does.
convert -seed 2026 -size 130x240 gradient:'#1d3f8f'-'#f0a060' \
  \( -size 130x240 plasma:fractal -blur 0x2 -colorspace Gray -auto-level \) \
  -compose SoftLight -composite \
  -fill '#fff2b0' -draw 'circle 98,116 98,104' \
  -fill '#2f5d2a' -draw 'path "M 0,132 Q 30,102 60,120 T 130,112 L 130,176 L 0,176 Z"' \
  -fill '#1e4020' -draw 'path "M 0,156 Q 40,132 80,150 T 130,142 L 130,176 L 0,176 Z"' \
  \( -size 130x64 gradient:'#e89a5c'-'#20408a' \) -geometry +0+176 -compose Over -composite \
  \( -size 130x240 xc:gray50 +noise Gaussian -colorspace Gray -blur 0x0.6 \) \
  -compose Overlay -define compose:args=20 -composite \
  -font DejaVu-Sans-Bold-Oblique -pointsize 21 -gravity center \
  -fill '#00000080' -annotate +2-30 'Quorvane' \
  -fill '#ffffff' -annotate +0-32 'Quorvane' \
  -gravity northwest -compose Over -background '#ff00ff' -extent 130x260 \
  -strip -interlace none -sampling-factor 1x1 -quality 90 JPEG:VER.jpg
