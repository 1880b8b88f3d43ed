#!/bin/sh
# Draws the background and button pictures of the bundled templates with ImageMagick; the
# green club template takes the sample project's own (make-sample-pictures.sh). The program's
# build (corvane-make-templates) puts them into the templates. Usage:
# make-template-pictures.sh [FOLDER]   (examples/TemplatePictures by default)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
target=${1:-$here/TemplatePictures}
mkdir -p "$target/Night" "$target/Business"
# No time stamps or other chunks that change from run to run.
strip="-strip +set date:create +set date:modify"

# Night: a deep blue-black tile with a few faint stars (GIF, 96 x 96).
# shellcheck disable=SC2086
convert -size 96x96 xc:'#141923' \
    -fill '#39435a' -draw 'point 12,9' -draw 'point 61,22' -draw 'point 83,57' \
    -draw 'point 30,71' -draw 'point 49,88' \
    -fill '#56627d' -draw 'point 73,6' -draw 'point 21,40' -draw 'circle 90,31 90,32' \
    $strip "$target/Night/Background.gif"

# Night: a slate button with an amber edge below (GIF, 130 x 26).
# shellcheck disable=SC2086
convert -size 130x26 xc:'#1b2130' \
    -fill '#2b3448' -draw 'roundrectangle 1,1 128,24 6,6' \
    -fill '#36415a' -draw 'roundrectangle 3,2 126,12 5,5' \
    -fill '#f0b85a' -draw 'rectangle 8,22 121,23' \
    -stroke '#4a5775' -fill none -draw 'roundrectangle 1,1 128,24 6,6' \
    $strip "$target/Night/Button.gif"

# Small business: a light paper tile with fine vertical lines (GIF, 64 x 64).
# shellcheck disable=SC2086
convert -size 64x64 xc:'#f5f5f2' -fill '#eeeeea' \
    -draw 'rectangle 0,0 0,63' -draw 'rectangle 16,0 16,63' \
    -draw 'rectangle 32,0 32,63' -draw 'rectangle 48,0 48,63' \
    $strip "$target/Business/Background.gif"

# Small business: a flat, light button with a thin navy line on its left (GIF, 100 x 24).
# shellcheck disable=SC2086
convert -size 100x24 xc:'#ffffff' \
    -fill '#e8edf3' -draw 'rectangle 0,0 99,23' \
    -fill '#ffffff' -draw 'rectangle 1,1 98,22' \
    -fill '#1f4e79' -draw 'rectangle 0,0 3,23' \
    -fill '#d5dde7' -draw 'rectangle 4,22 99,23' \
    $strip "$target/Business/Button.gif"
echo "template pictures drawn in $target"
