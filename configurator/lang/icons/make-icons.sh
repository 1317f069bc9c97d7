#!/usr/bin/env bash
# Draws the configurator's icons (32 and 16 pixels in one .ico each) with ImageMagick.
# The .ico files are committed; run this only to change a picture.
set -euo pipefail
cd "$(dirname "$0")"

draw() {  # name, drawing commands on a 32 by 32 transparent canvas
  local name=$1; shift
  convert -size 32x32 xc:none "$@" -define icon:auto-resize=32,16 "$name.ico"
}

# 1901: a shield with a magnifier lens, the configurator itself
draw app -fill '#1f4e8c' -draw 'polygon 16,1 29,6 28,18 16,31 4,18 3,6' \
  -fill none -stroke white -strokewidth 3 -draw 'circle 14,14 14,8' \
  -draw 'line 18,18 24,24'
# 1903: a sheet of paper with a folded corner
draw file -fill white -stroke '#404040' -strokewidth 1.5 \
  -draw 'polygon 7,2 20,2 26,8 26,30 7,30' -fill '#c0c0c0' -draw 'polygon 20,2 20,8 26,8' \
  -stroke '#7090c0' -draw 'line 10,14 22,14' -draw 'line 10,19 22,19' -draw 'line 10,24 19,24'
# 1904: a hard disk
draw drive -fill '#a0a0a8' -stroke '#404040' -strokewidth 1.5 \
  -draw 'roundrectangle 2,10 29,24 3,3' -fill '#30c030' -stroke none -draw 'rectangle 22,18 26,21' \
  -fill '#606068' -draw 'rectangle 5,13 18,15'
# 1905: a folder
draw folder -fill '#e8c040' -stroke '#806010' -strokewidth 1.5 \
  -draw 'polygon 2,7 12,7 15,10 29,10 29,27 2,27' -fill '#f8d860' -draw 'polygon 2,13 29,13 29,27 2,27'
# 1906: a network drive: a disk on a cable
draw network -fill '#a0a0a8' -stroke '#404040' -strokewidth 1.5 \
  -draw 'roundrectangle 3,4 28,16 3,3' -fill '#30c030' -stroke none -draw 'rectangle 21,9 25,12' \
  -stroke '#206020' -strokewidth 2.5 -draw 'line 16,16 16,27' -draw 'line 5,27 27,27'
# 1907: a scan task: a clipboard with a tick
draw task -fill '#d8b888' -stroke '#705030' -strokewidth 1.5 -draw 'roundrectangle 5,3 26,30 2,2' \
  -fill white -draw 'rectangle 8,7 23,27' -fill none -stroke '#1f8c3a' -strokewidth 3 \
  -draw 'polyline 11,17 15,22 21,11'
# 1908: an options file: paper with a gear-like mark
draw optionsfile -fill white -stroke '#404040' -strokewidth 1.5 \
  -draw 'polygon 7,2 20,2 26,8 26,30 7,30' -fill '#1f4e8c' -stroke none -draw 'circle 16,19 16,13' \
  -fill white -draw 'circle 16,19 16,16'
# 1909: files matched by a pattern: two sheets and a star
draw wildcard -fill '#e0e0e0' -stroke '#404040' -strokewidth 1.5 -draw 'rectangle 10,2 27,24' \
  -fill white -draw 'rectangle 4,8 21,30' -stroke '#c03030' -strokewidth 2.5 \
  -draw 'line 12,13 12,25' -draw 'line 7,19 17,19' -draw 'line 8,15 16,23' -draw 'line 16,15 8,23'
# 1910: a log: lined paper with a pencil stroke
draw log -fill '#fffbe0' -stroke '#404040' -strokewidth 1.5 -draw 'rectangle 5,2 24,30' \
  -stroke '#7090c0' -draw 'line 8,8 21,8' -draw 'line 8,13 21,13' -draw 'line 8,18 21,18' \
  -stroke '#c08020' -strokewidth 3 -draw 'line 17,27 29,12'
# 1911: a computer: monitor on a stand
draw computer -fill '#c8c8d0' -stroke '#404040' -strokewidth 1.5 -draw 'roundrectangle 2,3 29,22 2,2' \
  -fill '#3a6ea5' -draw 'rectangle 5,6 26,19' -fill '#a0a0a8' -draw 'rectangle 12,23 19,26' \
  -draw 'rectangle 7,27 24,29'
# 1912: removable media: a disc
draw removable -fill '#d0d8e8' -stroke '#404040' -strokewidth 1.5 -draw 'circle 16,16 16,2' \
  -fill '#9ab0d0' -stroke none -draw 'circle 16,16 16,9' -fill white -stroke '#404040' \
  -draw 'circle 16,16 16,13'
