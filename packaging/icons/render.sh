#!/bin/sh
# Renders the icon's PNG sizes from its SVG (needs rsvg-convert, from
# librsvg2-bin). The PNGs are committed, so building needs no renderer.
set -eu
cd "$(dirname "$0")"
for size in 48 128 256; do
  rsvg-convert -w "$size" -h "$size" org.tarnblog.Tarn.svg -o "tarn-$size.png"
done
