#!/usr/bin/env bash
# Renders the program's pictures from their sources; the results are committed, so this runs
# only when a picture changes. Needs ImageMagick, librsvg2-bin (rsvg-convert) and the DejaVu
# fonts (fonts-dejavu-core).
#   - the application icon, drawn in icons/hicolor/scalable/apps/org.example.plenwick.svg, as
#     PNGs for the desktop's icon theme (icons/hicolor/NxN/apps/) and for the window icon
#     (src/app/resources/icon-N.png);
#   - the start-up splash picture, src/app/resources/splash.png: 457 x 294 pixels, 24-bit RGB.
set -euo pipefail
cd "$(dirname "$0")"
svg=icons/hicolor/scalable/apps/org.example.plenwick.svg
resources=../src/app/resources
fonts=/usr/share/fonts/truetype/dejavu
mkdir -p "$resources"

# -strip and no time chunks: the same source gives the same bytes.
# shellcheck disable=SC2054  # the commas belong to the option's value
png_options=(-strip -define png:exclude-chunks=date,time)

# The SVG is drawn on a 48 x 48 grid, rendered by librsvg (as desktops render it) at each
# size directly, then stored as 8-bit RGBA.
for size in 32 48 256; do
    mkdir -p "icons/hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$svg" |
        convert png:- -depth 8 "${png_options[@]}" "PNG32:icons/hicolor/${size}x${size}/apps/org.example.plenwick.png"
    cp "icons/hicolor/${size}x${size}/apps/org.example.plenwick.png" "$resources/icon-$size.png"
done

# The splash: the name, the version, and the memory bar in oblique projection (front faces in
# the slice colours, lighter top faces, a grey end face) over a megabyte-like scale. The window
# draws its own 10-pixel border over the picture's edge, so everything keeps clear of it.
x0=40 x1=150 x2=235 x3=300 x4=380 # slice edges on the front face
top=178 bottom=228 depth=26       # front face rows; the top and end faces recede by depth
back=$((top - depth))
scale=244
ticks=""
for ((i = 0; i <= 10; i++)); do
    x=$((x0 + (x4 - x0) * i / 10))
    if ((i % 2 == 0)); then len=9; else len=5; fi
    ticks+="line $x,$scale $x,$((scale + len)) "
done
face()
{ # face COLOUR LEFT RIGHT: the front and top faces of one slice
    local shade=$1 colour=$2 l=$3 r=$4
    printf 'fill %s polygon %d,%d %d,%d %d,%d %d,%d ' "$colour" "$l" "$top" "$r" "$top" "$r" "$bottom" "$l" "$bottom"
    printf 'fill %s polygon %d,%d %d,%d %d,%d %d,%d ' "$shade" "$l" "$top" "$r" "$top" \
        "$((r + depth))" "$back" "$((l + depth))" "$back"
}
bar="stroke #303030 stroke-width 2 stroke-linejoin round "
bar+=$(face '#ff7070' '#ff0000' $x0 $x1)
bar+=$(face '#ffc670' '#ff9900' $x1 $x2)
bar+=$(face '#ffff9a' '#ffff00' $x2 $x3)
bar+=$(face '#f4f4f4' '#dcdcdc' $x3 $x4)
bar+=$(printf 'fill #a9a9a9 polygon %d,%d %d,%d %d,%d %d,%d ' $x4 $top $((x4 + depth)) $back \
    $((x4 + depth)) $((bottom - depth)) $x4 $bottom)

convert -size 457x294 gradient:'#fdfeff-#dde7f5' \
    -fill '#1f3557' -font "$fonts/DejaVuSerif-Bold.ttf" -pointsize 54 -annotate +36+92 'Plenwick' \
    -fill '#4a5a70' -font "$fonts/DejaVuSans.ttf" -pointsize 18 -annotate +40+126 'Version 1.0' \
    -fill '#4a5a70' -font "$fonts/DejaVuSans.ttf" -pointsize 13 -annotate +40+146 'Memory Monitor' \
    -draw "$bar" \
    -draw "stroke #303030 stroke-width 2 line $x0,$scale $x4,$scale $ticks" \
    -alpha off -depth 8 -type TrueColor "${png_options[@]}" "PNG24:$resources/splash.png"

echo "rendered: icons/hicolor/*/apps/org.example.plenwick.png, $resources/{icon-32,icon-48,icon-256,splash}.png"
