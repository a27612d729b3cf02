#!/usr/bin/env bash
# Builds Permutor and runs the main job on the embedded example project, in a copy so the
# committed example stays as it is: figures before, the optimisation, figures after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${PERMUTOR_DEMO_BUILD:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPERMUTOR_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target permutor_cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/demo "$work/"
permutor="$build/permutor/permutor"
# KiCad's own judgement of whether the board still matches its schematic.
parity() {
  if ! command -v kicad-cli >/dev/null; then
    echo "KiCad's schematic parity check: kicad-cli is not installed (scripts/deps.sh installs it)"
    return
  fi
  kicad-cli pcb drc --schematic-parity --format json -o "$work/parity.json" "$1" >/dev/null 2>&1
  echo "KiCad's schematic parity check: $(grep -c '"type": "net_conflict"' "$work/parity.json") net conflicts"
}
echo "== before"
"$permutor" info "$work/demo/demo.kicad_pro"
parity "$work/demo/demo.kicad_pcb"
echo "== optimize"
status=0
"$permutor" --batch optimize "$work/demo/demo.kicad_pro" || status=$?
echo "== after"
"$permutor" info "$work/demo/demo.kicad_pro"
parity "$work/demo/demo.kicad_pcb"
echo "== the FPGA design follows: lines of U1's pin constraints (demo.pcf) that changed"
awk 'NR == FNR { old[FNR] = $0; next }
     old[FNR] != $0 { printf "  %2d: %s  ->  %s\n", FNR, old[FNR], $0; n++ }
     END { if (!n) print "  (none)" }' examples/demo/demo.pcf "$work/demo/demo.pcf"
exit $status
