#!/usr/bin/env bash
# The desktop window: on the example project as opened and after the automatic optimisation, and
# on the unrouted glasgow board (the largest shared FPGA board), opened in its project's place.
set -euo pipefail
gui="$PERMUTOR_BUILD/permutor/permutor-gui"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -r "$ROOT/examples/demo" "$work/demo"
"$gui" --screenshot "$SHOTS/window-demo.png" "$work/demo/demo.kicad_pro"
"$gui" --screenshot "$SHOTS/window-demo-optimised.png" --run RunAutoPermutor "$work/demo/demo.kicad_pro"

glasgow="$ROOT/../shared/boards/glasgow/hardware/boards/glasgow"
if [ -d "$glasgow" ]; then
  mkdir -p "$work/glasgow"
  cp "$glasgow"/*.kicad_pro "$glasgow"/*.kicad_sch "$glasgow"/*-lib-table "$work/glasgow/" 2>/dev/null || true
  # The unrouted board in the project board's place, so that it opens with its schematic.
  cp "$glasgow/glasgow-unrouted.kicad_pcb" "$work/glasgow/glasgow.kicad_pcb"
  "$gui" --screenshot "$SHOTS/window-glasgow.png" "$work/glasgow/glasgow.kicad_pro"
else
  echo "window.sh: $glasgow not found; the glasgow picture is left out" >&2
fi
