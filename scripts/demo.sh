#!/usr/bin/env bash
# Builds Permutor and runs the main job on the embedded example project: a fresh copy of it in
# demo-output/ is optimised (the committed example stays as it is), with KiCad's parity check and
# a picture of the board before and after. Set-up output is kept in demo-output/setup.log and
# shown only when the set-up fails.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${PERMUTOR_DEMO_OUTPUT:-demo-output}
rm -rf "$out"
mkdir -p "$out"
log="$out/setup.log"
build=${PERMUTOR_DEMO_BUILD:-build-release}
setup() {
  if ! "$@" >>"$log" 2>&1; then
    echo "demo: set-up failed: $*" >&2
    tail -n 40 "$log" >&2
    echo "(the whole log: $log)" >&2
    exit 1
  fi
}
echo "Setting up: Debian packages, then a Release build in $build/ (a few minutes the first time; log in $log)"
setup scripts/deps.sh
# PERMUTOR_DEMO_PERMUTOR runs an already built program instead (the tests do).
permutor=${PERMUTOR_DEMO_PERMUTOR:-$build/permutor/permutor}
if [ -z "${PERMUTOR_DEMO_PERMUTOR:-}" ]; then
  setup cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPERMUTOR_TESTS=OFF
  setup cmake --build "$build" -j2 --target permutor_cli
fi
cp -r examples/demo "$out/"
project="$out/demo/demo.kicad_pro"
board="$out/demo/demo.kicad_pcb"
# KiCad's own judgement of whether the board still matches its schematic.
parity() {
  if ! command -v kicad-cli >/dev/null; then
    echo "KiCad's schematic parity check: kicad-cli is not installed (scripts/deps.sh installs it)"
    return
  fi
  kicad-cli pcb drc --schematic-parity --format json -o "$out/parity.json" "$1" >/dev/null 2>&1
  echo "KiCad's schematic parity check: $(grep -c '"type": "net_conflict"' "$out/parity.json") net conflicts"
  rm -f "$out/parity.json"
}
echo "== before"
"$permutor" info "$project"
parity "$board"
echo "== optimize"
status=0
"$permutor" --batch --svg-before "$out/before.svg" --svg-after "$out/after.svg" optimize "$project" ||
  status=$?
echo "== after"
"$permutor" info "$project"
parity "$board"
echo "== the FPGA design follows: lines of U1's pin constraints (demo.pcf) that changed"
awk 'NR == FNR { old[FNR] = $0; next }
     old[FNR] != $0 { printf "  %2d: %s  ->  %s\n", FNR, old[FNR], $0; n++ }
     END { if (!n) print "  (none)" }' examples/demo/demo.pcf "$out/demo/demo.pcf"
echo "== where to look"
echo "optimised copy of the example: $out/demo/ (board, schematic, demo.swaps.csv, demo.pcf; .bak files hold the originals)"
echo "pictures of the board and its ratsnest: $out/before.svg, $out/after.svg"
exit $status
