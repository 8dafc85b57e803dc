#!/bin/sh
# Draws the toolbar bitmaps and the application icon (ImageMagick).
# The bitmaps are 8-bit with a palette so that Windows can map their grey
# tones to the system's 3-D colours; the top-left pixel (light grey) becomes
# transparent.
set -e
cd "$(dirname "$0")/.."
bg='#c0c0c0'
bmp() { convert "$@" -type Palette -colors 64 -compress none "BMP3:$out"; }

# Open: a yellow folder, opened
out=open.bmp bmp -size 16x16 xc:$bg \
  -fill '#e8b830' -stroke '#806010' -draw 'polygon 1,4 6,4 7,5 13,5 13,13 1,13' \
  -fill '#f8d860' -draw 'polygon 3,8 15,8 13,13 1,13'
# Save: a blue floppy disk
out=save.bmp bmp -size 16x16 xc:$bg \
  -fill '#2050a0' -stroke '#102040' -draw 'rectangle 1,1 14,14' \
  -fill '#ffffff' -stroke none -draw 'rectangle 4,2 11,7' \
  -fill '#203060' -draw 'rectangle 9,3 10,6' \
  -fill '#d0d0d0' -draw 'rectangle 4,10 11,14'
# Read from and write to the device: the PC page on the left, the device
# (a box with a green light) on the right, an arrow between them.
link() {
  out=$1 bmp -size 32x16 xc:$bg \
    -fill '#606870' -stroke '#202428' -draw 'rectangle 19,2 30,13' \
    -fill '#40e040' -stroke none -draw 'rectangle 21,4 23,5' \
    -fill '#a0a8b0' -draw 'rectangle 21,8 28,11' \
    -fill '#ffffff' -stroke '#404040' -draw 'rectangle 1,2 9,13' \
    -fill "$2" -stroke none -draw "polygon $3"
}
link read.bmp '#208020' '18,6 14,6 14,4 10,8 14,12 14,10 18,10'
link write.bmp '#c02020' '10,6 14,6 14,4 18,8 14,12 14,10 10,10'
# The application icon: a shield with a GSM antenna wave
for s in 16 32 48; do
  convert -size 96x96 xc:none \
    -fill '#1d4f91' -stroke '#0c2a52' -strokewidth 4 \
    -draw 'path "M 48,6 L 84,18 C 84,52 70,76 48,90 C 26,76 12,52 12,18 Z"' \
    -fill none -stroke '#ffffff' -strokewidth 6 \
    -draw 'arc 30,30 66,66 200,340' -draw 'arc 18,18 78,78 210,330' \
    -fill '#ffffff' -stroke none -draw 'circle 48,56 48,48' \
    -resize ${s}x${s} "png32:/tmp/ostrel-icon-$s.png"
done
convert /tmp/ostrel-icon-16.png /tmp/ostrel-icon-32.png /tmp/ostrel-icon-48.png app.ico
rm -f /tmp/ostrel-icon-*.png
