#!/bin/sh
# Makes the shared pictures of the golden sites with ImageMagick's convert. The files are
# committed and the expected sites hold copies of them: run this only to remake them, then
# update the expected sites.
set -eu
cd "$(dirname "$0")/pictures"
convert -size 48x48 xc:'#2F5D3A' -fill '#F0E0C0' -draw 'circle 24,24 24,8' Logo.gif
convert -size 96x20 xc:'#C9DBBE' -fill '#3A5D2F' -draw 'rectangle 0,17 95,19' Button.gif
convert -size 8x8 xc:'#F3EEE8' -fill '#E8E0D5' -draw 'point 2,2 point 6,5' Paper.gif
convert -size 40x40 xc:'#F6F1DE' -fill '#4A3B1A' -draw 'rectangle 10,10 29,29' Badge.gif
convert -size 64x48 xc:'#6080A0' -fill '#E0C040' -draw 'circle 44,14 44,6' -quality 80 Photo.jpg
convert -size 30x90 xc:'#804020' -quality 80 Tall.jpg
convert -size 400x300 xc:'#A0C0E0' -fill '#406020' -draw 'rectangle 0,200 399,299' \
    -quality 60 Wide.jpg
convert -size 200x150 xc:'#E0A0A0' Card.gif
convert -size 1000x333 xc:'#D0D0F0' -fill '#202060' -draw 'rectangle 0,300 999,332' Banner.gif
convert -size 160x120 xc:'#C0E0C0' -quality 60 Meadow.jpg
convert -size 800x600 xc:'#90B0D0' -fill '#506030' -draw 'rectangle 0,400 799,599' \
    -quality 60 Hills.jpg
