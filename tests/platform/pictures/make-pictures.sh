#!/bin/sh
# Makes the sample pictures of PictureDecoderTest with ImageMagick's convert. The files are
# committed; run this only to remake them (the tests check the sizes and colours named here).
set -eu
cd "$(dirname "$0")"
# 48 x 32: three bands of 16 pixels, red, green, blue.
convert -size 16x32 xc:'#FF0000' -size 16x32 xc:'#00FF00' -size 16x32 xc:'#0000FF' +append \
    -quality 90 bands.jpg
convert bands.jpg -interlace JPEG bands-progressive.jpg
convert -size 16x32 xc:'#FF0000' -size 16x32 xc:'#00FF00' -size 16x32 xc:'#0000FF' +append \
    bands.gif
# 48 x 24 grey: black, white, middle grey.
convert -size 16x24 xc:'#000000' -size 16x24 xc:'#FFFFFF' -size 16x24 xc:'#808080' +append \
    -colorspace Gray -quality 90 gray.jpg
# 32 x 16 CMYK (with the Adobe marker): red, green.
convert -size 16x16 xc:'#FF0000' -size 16x16 xc:'#00FF00' +append -colorspace CMYK \
    -quality 95 cmyk.jpg
# 5 x 17: one colour per row, plain and interlaced.
convert -size 5x1 xc:'#FF0000' xc:'#00FF00' xc:'#0000FF' xc:'#FFFF00' xc:'#FF00FF' \
    xc:'#00FFFF' xc:'#000000' xc:'#FFFFFF' xc:'#800000' xc:'#008000' xc:'#000080' \
    xc:'#808000' xc:'#800080' xc:'#008080' xc:'#808080' xc:'#C0C0C0' xc:'#400000' -append \
    -interlace none rows.gif
convert rows.gif -interlace GIF rows-interlaced.gif
# 12 x 10 transparent, with a green rectangle from (3, 2) to (8, 6).
convert -size 12x10 xc:none -fill '#00FF00' -draw 'rectangle 3,2 8,6' transparent.gif
