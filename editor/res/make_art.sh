#!/usr/bin/env bash
# Draws the editor's two icons with ImageMagick: editor.ico (107, the main
# window and the about box) and confirm.ico (110, the save confirmation).
# Run once when the artwork changes and commit the results; the build only
# reads the committed files.
#
# Needs: imagemagick, fonts-ipafont-gothic.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf

# One icon in four sizes, 16 colours: 16 and 32 pixels, and 48 and 64 for
# displays of 144 and 192 DPI, where the system asks for icons that large.
#   editor.ico: a document sheet with a folded corner over a box, the
#               editor's "project that becomes a package";
#   confirm.ico: a rounded amber tile with a white question mark.
editor_frame() {
  local size=$1 out=$2 s=$(( $1 - 1 ))
  local fold=$(( size / 4 )) w=$(( size * 11 / 16 )) h=$(( size * 13 / 16 ))
  convert -size ${size}x${size} xc:none \
    -fill '#1f5f8b' -draw "roundrectangle $(( size / 8 )),$(( size / 2 )) $s,$s $(( size / 10 )),$(( size / 10 ))" \
    -fill white -stroke '#1f5f8b' -strokewidth 1 \
    -draw "polygon 0,0 $(( w - fold )),0 $w,$fold $w,$h 0,$h" \
    -fill '#d5e3f5' -draw "polygon $(( w - fold )),0 $(( w - fold )),$fold $w,$fold" \
    -stroke none -fill '#1f5f8b' \
    -draw "rectangle $(( size / 8 )),$(( size * 5 / 16 )) $(( w - size / 8 )),$(( size * 5 / 16 + size / 16 ))" \
    -draw "rectangle $(( size / 8 )),$(( size * 7 / 16 )) $(( w - size / 8 )),$(( size * 7 / 16 + size / 16 ))" \
    -draw "rectangle $(( size / 8 )),$(( size * 9 / 16 )) $(( w - size / 4 )),$(( size * 9 / 16 + size / 16 ))" \
    -dither None -colors 16 "$out"
}

confirm_frame() {
  local size=$1 out=$2 m=$(( $1 - 1 )) r=$(( $1 / 5 ))
  convert -size ${size}x${size} xc:none \
    -fill '#c08000' -draw "roundrectangle 0,0 $m,$m $r,$r" \
    -font "$font" -pointsize $(( size * 3 / 4 )) -fill white -stroke white \
    -strokewidth $(( size / 16 )) -gravity center -annotate +0+0 '?' \
    -dither None -colors 16 "$out"
}

sizes=(32 16 48 64)
for size in "${sizes[@]}"; do
  editor_frame $size "editor$size.png"
  confirm_frame $size "confirm$size.png"
done
convert $(printf 'editor%s.png ' "${sizes[@]}") -colors 16 editor.ico
convert $(printf 'confirm%s.png ' "${sizes[@]}") -colors 16 confirm.ico
rm -f editor*.png confirm*.png
ls -l *.ico
