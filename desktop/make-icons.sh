#!/usr/bin/env bash
# Renders the PNG icons from the SVG source. Run by hand after changing the
# SVG and commit the result: building and installing only copy the files.
# Needs rsvg-convert (apt-get install librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" org.tagloom.TagloomHTML.svg -o "$size.png"
done
