#!/usr/bin/env bash
# The configuration dialogs on the example project: the component list, the quad NAND's gates in
# one part swap group, the BGA's pins grouped by bank, and the list with those changes. The tool
# works in memory and cancels at the end, so the example stays as it is.
set -euo pipefail
"$PERMUTOR_BUILD/tools/dialogshots/dialogshots" "$ROOT/examples/demo/demo.kicad_pro" "$SHOTS"
