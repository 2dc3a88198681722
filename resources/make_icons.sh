#!/usr/bin/env bash
# Draws the program icon (a camera) at 32x32 and 16x16 in 16
# colours. Run once; the PNG files are committed.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 32x32 xc:none \
    -fill '#1f4e8c' -draw 'roundrectangle 1,7 30,27 4,4' \
    -fill '#1f4e8c' -draw 'rectangle 9,4 18,8' \
    -fill '#c0c0c0' -draw 'circle 19,17 19,10' \
    -fill '#000000' -draw 'circle 19,17 19,13' \
    -fill '#ffffff' -draw 'circle 17,15 17,14' \
    -fill '#ffd200' -draw 'rectangle 4,10 7,12' \
    -colors 16 PNG8:vexlarin-32.png
convert -size 16x16 xc:none \
    -fill '#1f4e8c' -draw 'roundrectangle 0,3 15,14 2,2' \
    -fill '#1f4e8c' -draw 'rectangle 4,1 9,4' \
    -fill '#c0c0c0' -draw 'circle 9,9 9,5' \
    -fill '#000000' -draw 'circle 9,9 9,7' \
    -fill '#ffd200' -draw 'rectangle 2,5 3,6' \
    -colors 16 PNG8:vexlarin-16.png
