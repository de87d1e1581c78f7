#!/usr/bin/env bash
# The tool's main job on the bundled sample cartridge: its map (at twice the size), its
# sprite sheet and its label, exported as PNG into demo-output/.
set -euo pipefail
bin=${1:-build/brasswick}
out=demo-output
mkdir -p "$out"
cp examples/sample.p8 "$out/sample.p8"
"$bin" map "$out/sample.p8" --scale 2 --verbose
"$bin" sheet "$out/sample.p8" --scale 4 --silent
"$bin" label "$out/sample.p8" --scale 2 --silent
echo
echo "Exported into $out/:"
ls -l "$out"
