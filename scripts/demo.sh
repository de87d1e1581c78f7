#!/usr/bin/env bash
# The tool at work, into demo-output/: the bundled sample cartridge's map (at twice the
# size), sprite sheet, label and first sprites as PNG, a copy without its sound and its
# code alone, its code's figures against the console's limits, the sheet and the map put back into that copy;
# then, on a player page and script of our own (drawn by bench_inputs beside the
# program), the player's cartridge rebuilt as a .p8.png with the sample's label and a
# title, the page themed, a photo-like picture recoloured to the 16 colours, and a game
# past the console's limits as its maker wrote it, minified to fit.
# Usage: demo.sh [PROGRAM [BENCH_INPUTS]]
set -euo pipefail
bin=${1:-build/brasswick}
make_inputs=${2:-$(dirname "$bin")/bench_inputs}
out=demo-output
mkdir -p "$out/inputs"
cp examples/sample.p8 "$out/sample.p8"
"$bin" map "$out/sample.p8" --scale 2 --verbose
"$bin" sheet "$out/sample.p8" --scale 4 --silent
"$bin" label "$out/sample.p8" --scale 2 --silent
"$bin" sprites "$out/sample.p8" "sample.sprite-%d.png" --numbers 1-4 --scale 4 --silent
"$bin" copy "$out/sample.p8" sample.quiet.p8 --clear sfx --yes --silent
"$bin" convert "$out/sample.p8" "$out/sample.lua" --silent
"$bin" count "$out/sample.p8" >"$out/sample.count.txt"
# The way back: the sheet and the map's upper half exported and put into the quiet copy.
"$bin" sheet "$out/sample.p8" sample.sheet-1x.png --silent
"$bin" setsheet "$out/sample.quiet.p8" "$out/sample.sheet-1x.png" --silent
"$bin" map "$out/sample.p8" sample.level.png --cells 0 0 128 32 --silent
"$bin" setmap "$out/sample.quiet.p8" "$out/sample.level.png" --addSprites --silent

"$make_inputs" "$out/inputs"
"$bin" extractjsrom "$out/inputs/player.js" "$out/player.p8.png" --silent
"$bin" setlabel "$out/player.p8.png" "$out/sample.label.png" --silent
"$bin" settitle "$out/player.p8.png" --title "brasswick demo" --subtitle "label from sample.p8" \
  --silent
"$bin" sethtml "$out/inputs/player.html" "$out/player.themed.html" --title "brasswick demo" \
  --background navy --controls 8 --xButton 12 --noStart --silent
"$bin" colorimage "$out/inputs/photo.png" "$out/photo.16.png" --fit 128 --silent
# The game does not fit as written (exit 159); minified, it does.
"$bin" convert "$out/inputs/game.p8" "$out/game.p8.png" --silent || echo "game.p8 does not fit: $?"
"$bin" convert "$out/inputs/game.p8" "$out/game.p8.png" --minify --verbose >"$out/game.minify.txt"

# How the themed page looks in a browser, when Chromium is there (make deps installs it).
if command -v chromium >/dev/null 2>&1; then
  timeout 60 chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --force-device-scale-factor=1 --user-data-dir="$PWD/$out/.chromium" --window-size=400,400 \
    --screenshot="$PWD/$out/player.themed.png" "file://$PWD/$out/player.themed.html" \
    >/dev/null 2>&1 || echo "(no screenshot of the themed page: chromium failed)"
  rm -rf "$out/.chromium"
fi
echo
echo "Written into $out/:"
ls -l "$out"
