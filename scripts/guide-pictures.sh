#!/bin/bash
# Regenerates the pictures of the user guide (docs/img/) from a build:
#   bash scripts/guide-pictures.sh [build-folder]     (default: build)
# velmora-screens draws the real window on the demonstration nursery and
# velmora-sample-prints writes every print of it as PDF; the first page of
# each print is turned into PNG (pdftoppm, 90 dpi), its white margins
# trimmed and its colours reduced (ImageMagick's convert). Needs the two
# tools built: cmake --build build --target velmora-screens velmora-sample-prints
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
out=$repo/docs/img
for tool in velmora-screens velmora-sample-prints; do
  if [ ! -x "$build/$tool" ]; then
    echo "Manca $build/$tool: compilarlo con cmake --build $build --target $tool" >&2
    exit 1
  fi
done
for cmd in pdftoppm convert; do
  command -v "$cmd" >/dev/null || { echo "Manca il comando $cmd (poppler-utils, imagemagick)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# The window: every picture of velmora-screens as schermata-<name>.png.
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/velmora-screens" "$work/schermate" >/dev/null 2>"$work/log" || { cat "$work/log" >&2; exit 1; }
for f in "$work"/schermate/*.png; do
  cp "$f" "$out/schermata-$(basename "$f")"
done
# The staff of an evaluation, cut from the sheet.
convert "$work/schermate/scheda.png" -crop 310x160+286+124 +repage -strip "$out/schermata-personale.png"

# The prints: first page of each, margins trimmed.
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/velmora-sample-prints" "$work/stampe" >/dev/null 2>"$work/log" || { cat "$work/log" >&2; exit 1; }
for name in scheda riepilogo-nonso grafico profili confronto; do
  pdftoppm -r 90 -f 1 -l 1 -singlefile -png "$work/stampe/$name.pdf" "$work/$name"
  page=$work/$name.png
  # The summary of the "Non so" fills the top of its page only.
  [ "$name" = riepilogo-nonso ] && convert "$page" -crop x400+0+0 +repage "$page"
  convert "$page" -trim +repage -bordercolor white -border 12 -colors 128 -strip "PNG8:$out/stampa-$name.png"
done
du -ch "$out"/*.png | tail -1
