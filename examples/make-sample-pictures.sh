#!/bin/sh
# Draws the pictures of the sample project (a small hiking club) with ImageMagick and
# writes its two download files. Usage: make-sample-pictures.sh SAMPLE_FOLDER
# The pictures the pages show are drawn at least twice the size they are shown at (the
# sizes MakeSample.cpp gives them), so that phone screens with two or three device pixels to
# a CSS pixel get a sharp copy: each shape is drawn on a small grid, scaled up by -affine.
set -eu
target=${1:?usage: make-sample-pictures.sh SAMPLE_FOLDER}
images="$target/Images"
downloads="$target/Downloads"
mkdir -p "$images" "$downloads"
font=Helvetica-Bold

# Text is not scaled by -affine: "text SCALE SIZE X Y" gives the -annotate arguments of a
# text drawn on the small grid.
text() {
    echo "-pointsize $(($2 * $1)) -annotate +$(($3 * $1))+$(($4 * $1))"
}

# Logo: two peaks under the sun (GIF, 256 x 256, shown at 64 x 64).
convert -size 256x256 gradient:'#87ceeb'-'#e0f4ff' -affine 4,0,0,4,0,0 \
    -fill '#ffd24a' -draw 'circle 46,16 46,24' \
    -fill '#2f5d3a' -draw 'polygon 0,64 22,22 38,46 48,32 64,64' \
    -fill white -draw 'polygon 22,22 17,32 22,29 27,32' \
    "$images/Logo.gif"

# Menu button: a rounded, shaded bar (GIF, 120 x 24).
convert -size 120x24 xc:none \
    -fill '#7fa86c' -draw 'roundrectangle 1,1 118,22 8,8' \
    -fill '#9cc487' -draw 'roundrectangle 3,2 116,11 6,6' \
    -stroke '#2f5d3a' -fill none -draw 'roundrectangle 1,1 118,22 8,8' \
    -background '#c9dbbe' -flatten \
    "$images/Button.gif"

# Page background: a pale, softly speckled paper tile (GIF, 64 x 64).
convert -size 64x64 xc:'#eef3e8' -fill '#e2ead9' \
    -draw 'circle 10,12 10,14' -draw 'circle 42,6 42,8' -draw 'circle 27,33 27,35' \
    -draw 'circle 56,40 56,42' -draw 'circle 14,52 14,54' -draw 'circle 40,58 40,59' \
    "$images/Paper.gif"

# Hotspot: a compass rose (GIF, 300 x 300, shown at 100 x 100).
convert -size 300x300 xc:'#f6f1de' -affine 3,0,0,3,0,0 \
    -fill '#e9dfb9' -stroke '#4a3b1a' -strokewidth 2 -draw 'circle 50,50 50,8' \
    -stroke none -fill '#b03a2e' -draw 'polygon 50,14 58,50 42,50' \
    -fill '#4a3b1a' -draw 'polygon 50,86 58,50 42,50' \
    -fill '#8a7a50' -draw 'polygon 14,50 50,44 50,56' -draw 'polygon 86,50 50,44 50,56' \
    -fill '#f6f1de' -draw 'circle 50,50 50,46' \
    -font $font -fill '#4a3b1a' $(text 3 11 46 11) 'N' \
    "$images/Compass.gif"

# News: a wooden signpost (GIF, 480 x 480, shown at 240 x 240).
convert -size 480x480 gradient:'#bfe3f5'-'#e8f5d8' -affine 4,0,0,4,0,0 \
    -fill '#6b8e4e' -draw 'rectangle 0,100 120,120' \
    -fill '#7a5230' -draw 'rectangle 55,30 63,108' \
    -fill '#a8743f' -draw 'polygon 14,30 96,30 108,40 96,50 14,50' \
    -draw 'polygon 106,58 24,58 12,68 24,78 106,78' \
    -font $font -fill '#fff8e8' \
    $(text 4 11 20 44) 'Summit 2h' $(text 4 11 30 72) 'Lake 45min' \
    "$images/Signpost.gif"

# News: a trail marker painted on a tree (JPEG, 640 x 800, shown at 320 x 400).
convert -size 640x800 gradient:'#3d6b42'-'#1f3d27' -affine 4,0,0,4,0,0 \
    -fill '#6e5238' -draw 'rectangle 50,0 110,200' \
    -fill '#5a4330' -draw 'line 62,0 60,200' -draw 'line 95,0 98,200' \
    -fill white -draw 'rectangle 60,70 100,80' -draw 'rectangle 60,100 100,110' \
    -fill '#c8312b' -draw 'rectangle 60,80 100,100' \
    -quality 82 "$images/Marker.jpg"

# Trail guides: a sketch map of the ridge path (GIF, 1200 x 800, shown at 600 x 400).
convert -size 1200x800 xc:'#f3efd9' -affine 4,0,0,4,0,0 \
    -fill '#9fc3e6' -draw 'ellipse 220,140 50,28 0,360' \
    -fill none -stroke '#c9bf96' -strokewidth 1 \
    -draw 'ellipse 110,80 80,50 0,360' -draw 'ellipse 110,80 55,32 0,360' \
    -draw 'ellipse 110,80 28,15 0,360' \
    -stroke '#c8312b' -strokewidth 3 \
    -draw 'polyline 20,180 60,150 85,110 110,80 150,95 185,120 215,112' \
    -stroke none -fill '#2f5d3a' -draw 'circle 20,180 20,175' -draw 'circle 110,80 110,75' \
    -font $font -fill '#4a3b1a' \
    $(text 4 12 26 176) 'Start' $(text 4 12 90 66) 'Grey Peak' $(text 4 12 196 146) 'Still Lake' \
    "$images/RidgeMap.gif"

# Tours: five landscapes (JPEG, 1600 x 1200, shown at 800 x 600), three to a row in the
# gallery.
convert -size 1600x1200 gradient:'#7ab8e8'-'#e6f2fb' -affine 5,0,0,5,0,0 \
    -fill '#8e9aa8' -draw 'polygon 0,240 70,90 120,140 190,50 260,130 320,100 320,240' \
    -fill white -draw 'polygon 190,50 171,74 180,70 190,78 200,70 211,74' \
    -fill '#4f7a45' -draw 'polygon 0,240 0,190 90,160 200,185 320,165 320,240' \
    -quality 80 "$images/Ridge.jpg"
convert -size 1600x1200 gradient:'#f7c98b'-'#fbeedd' -affine 5,0,0,5,0,0 \
    -fill '#5b6f8a' -draw 'polygon 0,150 80,80 150,130 230,70 320,140 320,150' \
    -fill '#3f7fb3' -draw 'rectangle 0,150 320,240' \
    -fill '#9cc8ea' -draw 'rectangle 40,170 140,173' -draw 'rectangle 170,195 290,198' \
    -fill '#ffb347' -draw 'circle 250,60 250,78' \
    -quality 80 "$images/Lake.jpg"
convert -size 1600x1200 gradient:'#cfe8c0'-'#6b9a58' -affine 5,0,0,5,0,0 \
    -fill '#1f4d2b' \
    -draw 'polygon 30,230 60,60 90,230' -draw 'polygon 100,235 140,40 180,235' \
    -draw 'polygon 190,230 225,70 260,230' -draw 'polygon 250,238 290,90 320,238' \
    -fill '#6e5238' -draw 'rectangle 0,228 320,240' \
    -quality 80 "$images/Forest.jpg"
convert -size 1600x1200 gradient:'#6f7f6a'-'#34412f' -affine 5,0,0,5,0,0 \
    -fill '#8a8f86' -draw 'rectangle 0,0 120,240' -draw 'rectangle 200,0 320,240' \
    -fill '#dff3ff' -draw 'polygon 120,20 200,20 215,200 105,200' \
    -fill '#9fd0ef' -draw 'ellipse 160,215 110,22 0,360' \
    -fill white -draw 'ellipse 160,203 70,9 0,360' \
    -quality 80 "$images/Waterfall.jpg"
convert -size 1600x1200 gradient:'#a8d8f0'-'#f2fbff' -affine 5,0,0,5,0,0 \
    -fill '#7cb342' -draw 'polygon 0,240 0,130 160,110 320,135 320,240' \
    -fill '#f5d90a' -draw 'circle 40,180 40,184' -draw 'circle 90,200 90,204' \
    -draw 'circle 150,170 150,174' -draw 'circle 230,205 230,209' \
    -fill '#e8505b' -draw 'circle 70,160 70,164' -draw 'circle 190,190 190,194' \
    -draw 'circle 280,175 280,179' \
    -fill white -draw 'circle 120,215 120,219' -draw 'circle 260,155 260,159' \
    -quality 80 "$images/Meadow.jpg"

# A made-up GPS track of the autumn loop.
cat >"$downloads/AutumnLoop.gpx" <<'GPX'
<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="Lindenberg Hiking Club">
  <trk>
    <name>Autumn Loop</name>
    <trkseg>
      <trkpt lat="47.6012" lon="9.8901"><ele>760</ele></trkpt>
      <trkpt lat="47.6048" lon="9.8962"><ele>812</ele></trkpt>
      <trkpt lat="47.6093" lon="9.9010"><ele>905</ele></trkpt>
      <trkpt lat="47.6131" lon="9.9078"><ele>1012</ele></trkpt>
      <trkpt lat="47.6104" lon="9.9155"><ele>968</ele></trkpt>
      <trkpt lat="47.6057" lon="9.9121"><ele>871</ele></trkpt>
      <trkpt lat="47.6020" lon="9.9034"><ele>790</ele></trkpt>
      <trkpt lat="47.6012" lon="9.8901"><ele>760</ele></trkpt>
    </trkseg>
  </trk>
</gpx>
GPX

cat >"$downloads/Membership.txt" <<'TXT'
Lindenberg Hiking Club - Membership form

Name:
Address:
Telephone:
E-mail:

Membership (please tick):
[ ] Adult            30 per year
[ ] Family           45 per year
[ ] Young walker     10 per year (under 18)

Please bring or send this form to the club room at the Old Mill,
Brook Street 4, or mail it to info@lindenberg-hiking.example.
TXT
