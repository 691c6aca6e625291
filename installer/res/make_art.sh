#!/usr/bin/env bash
# Draws the Installer's banner (banner.gif, 480 x 69) and its four icons
# (main.ico 107, info.ico 110, warning.ico 111, error.ico 112) with
# ImageMagick. Run once when the artwork changes and commit the results;
# the build only reads the committed files.
#
# Needs: imagemagick, fonts-ipafont-gothic.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf

# Banner: a light horizontal gradient with a line along its foot and the
# product's tile at the right. The main dialog writes its title and lead
# sentence in black over the left part, so that part stays light and
# empty. Few colours keep the GIF small, since it is part of every
# package's overhead.
convert -size 69x480 gradient:'#ffffff-#d5e3f5' -rotate -90 \
  -fill '#1f5f8b' -draw 'roundrectangle 396,10 470,58 8,8' -draw 'rectangle 0,66 479,68' \
  -font "$font" -pointsize 26 -fill white -gravity northwest -annotate +414+18 'VT' \
  +dither -colors 64 +repage -strip banner.gif

# One icon in two sizes (32 and 16 pixels) and 16 colours: a rounded tile of
# the given colour with a white glyph.
make_icon() {
  local out=$1 colour=$2 glyph=$3 size frames=()
  for size in 32 16; do
    local r=$((size / 5)) m=$((size - 1)) pt=$((size * 3 / 4)) stroke=$((size / 16))
    convert -size ${size}x${size} xc:none \
      -fill "$colour" -draw "roundrectangle 0,0 $m,$m $r,$r" \
      -font "$font" -pointsize $pt -fill white -stroke white -strokewidth $stroke \
      -gravity center -annotate +0+0 "$glyph" \
      -dither None -colors 16 "frame$size.png"
    frames+=("frame$size.png")
  done
  convert "${frames[@]}" -colors 16 "$out"
  rm -f "${frames[@]}"
}

make_icon main.ico '#1f5f8b' 'V'
make_icon info.ico '#2f7f3f' 'i'
make_icon warning.ico '#c08000' '!'
make_icon error.ico '#b02020' '×'
ls -l banner.gif *.ico
