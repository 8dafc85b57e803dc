#!/bin/sh
# Draws the toolbar bitmaps and the application icon (ImageMagick). The
# drawings are written once on a 16-unit grid and drawn at 16, 24 and 32
# pixels (open.bmp, open_24.bmp, open_32.bmp, ...); the program takes the
# largest that fits its buttons at the screen's DPI. The bitmaps are kept in
# the repository, so a build does not need ImageMagick; run this script
# again after changing a drawing.
#
# The bitmaps are drawn without anti-aliasing and kept 8-bit with a palette,
# so that Windows can map their grey tones to the system's 3-D colours and
# the top-left pixel (light grey) becomes transparent; blended edge pixels
# would show as a grey seam on a button of another colour.
set -e
cd "$(dirname "$0")/.."
bg='#c0c0c0'

# draw SIZE HEIGHT-UNITS WIDTH-UNITS FILE MVG...: draws the MVG commands,
# written for a 16-unit grid whose integer points are pixel centres, at
# SIZE pixels for 16 units (lines widen with the drawing).
draw() {
  size=$1 width=$2 out=$3; shift 3
  k=$(echo "$size / 16" | bc -l)
  t=$(echo "($k - 1) / 2" | bc -l)
  w=$(echo "$width * $size / 16" | bc)
  set -- "$@"
  args=""
  for mvg in "$@"; do
    args="$args|affine $k,0,0,$k,$t,$t $mvg"
  done
  old_ifs=$IFS; IFS='|'
  # shellcheck disable=SC2086
  set -- $args
  IFS=$old_ifs
  cmd="convert -size ${w}x${size} xc:$bg +antialias -strokewidth 1"
  for mvg in "$@"; do
    [ -n "$mvg" ] && cmd="$cmd -draw '$mvg'"
  done
  eval "$cmd -type Palette -colors 64 -compress none BMP3:$out"
}

for size in 16 24 32; do
  suffix=
  [ $size -ne 16 ] && suffix=_$size
  # Open: a yellow folder, opened
  draw $size 16 open$suffix.bmp \
    "fill #e8b830 stroke #806010 polygon 1,4 6,4 7,5 13,5 13,13 1,13" \
    "fill #f8d860 stroke #806010 polygon 3,8 15,8 13,13 1,13"
  # Save: a blue floppy disk
  draw $size 16 save$suffix.bmp \
    "fill #2050a0 stroke #102040 rectangle 1,1 14,14" \
    "fill #ffffff stroke none rectangle 4,2 11,7" \
    "fill #203060 stroke none rectangle 9,3 10,6" \
    "fill #d0d0d0 stroke none rectangle 4,10 11,14"
  # Read from and write to the device: the PC page on the left, the device
  # (a box with a green light) on the right, an arrow between them.
  for link in "read #208020 18,6 14,6 14,4 10,8 14,12 14,10 18,10" \
              "write #c02020 10,6 14,6 14,4 18,8 14,12 14,10 10,10"; do
    # shellcheck disable=SC2086
    set -- $link
    name=$1 colour=$2; shift 2
    draw $size 32 $name$suffix.bmp \
      "fill #606870 stroke #202428 rectangle 19,2 30,13" \
      "fill #40e040 stroke none rectangle 21,4 23,5" \
      "fill #a0a8b0 stroke none rectangle 21,8 28,11" \
      "fill #ffffff stroke #404040 rectangle 1,2 9,13" \
      "fill $colour stroke none polygon $*"
  done
done

# The application icon: a shield with a GSM antenna wave, at the sizes the
# title bar, the task bar and the About box take at 100 % to 200 %.
sizes="16 20 24 32 40 48 64"
files=
for s in $sizes; do
  convert -size 96x96 xc:none \
    -fill '#1d4f91' -stroke '#0c2a52' -strokewidth 4 \
    -draw 'path "M 48,6 L 84,18 C 84,52 70,76 48,90 C 26,76 12,52 12,18 Z"' \
    -fill none -stroke '#ffffff' -strokewidth 6 \
    -draw 'arc 30,30 66,66 200,340' -draw 'arc 18,18 78,78 210,330' \
    -fill '#ffffff' -stroke none -draw 'circle 48,56 48,48' \
    -resize ${s}x${s} "png32:/tmp/ostrel-icon-$s.png"
  files="$files /tmp/ostrel-icon-$s.png"
done
# shellcheck disable=SC2086
convert $files app.ico
rm -f $files
