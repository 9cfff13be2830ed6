#!/bin/sh
# Regenerates the program's pictures with ImageMagick:
#   MAINICON.png  32 x 32, 16-colour window and task-bar icon (a "Q" on a blue tile)
#   VER.jpg       130 x 260 baseline JFIF colour JPEG for the About box
# Run from any directory; the files are written next to this script.
set -eu
cd "$(dirname "$0")"

convert -size 32x32 xc:none +antialias \
  -fill '#000080' -draw 'roundrectangle 1,1 30,30 5,5' \
  -fill '#0000ff' -draw 'roundrectangle 3,3 28,28 4,4' \
  -stroke '#ffffff' -strokewidth 3 -fill none -draw 'circle 15,14 15,6' \
  -stroke '#ffff00' -strokewidth 3 -draw 'line 18,18 25,26' \
  -colors 16 PNG8:MAINICON.png

# A photograph-like scene: evening sky, a sun, layered hills with noise texture,
# a lake that mirrors the sky, and the program's name across the middle.
# The bottom-left pixel is the colour painted transparent by the About box, so the
# picture keeps a flat dark-green border strip along its bottom edge.
convert -size 130x260 gradient:'#1d3f8f'-'#f0a060' \
  \( -size 130x260 plasma:fractal -blur 0x2 -colorspace Gray -auto-level \) \
  -compose SoftLight -composite \
  -fill '#fff2b0' -draw 'circle 92,112 92,98' \
  -fill '#2f5d2a' -draw 'path "M 0,140 Q 30,110 60,128 T 130,120 L 130,190 L 0,190 Z"' \
  -fill '#1e4020' -draw 'path "M 0,165 Q 40,140 80,158 T 130,150 L 130,190 L 0,190 Z"' \
  \( -size 130x70 gradient:'#f0a060'-'#1d3f8f' \) -geometry +0+190 -compose Over -composite \
  \( -size 130x260 xc:gray50 +noise Gaussian -colorspace Gray -blur 0x0.6 \) \
  -compose Overlay -define compose:args=20 -composite \
  -font DejaVu-Sans-Bold-Oblique -pointsize 24 -gravity center \
  -fill '#00000080' -annotate +2-28 'Quorvane' \
  -fill '#ffffff' -annotate +0-30 'Quorvane' \
  -gravity northwest -fill '#103010' -draw 'rectangle 0,252 129,259' \
  -strip -interlace none -sampling-factor 2x2 -quality 88 JPEG:VER.jpg
