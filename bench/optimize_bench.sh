#!/usr/bin/env bash
# The command line's optimisation end to end on generated FPGA boards: generates boards of 100, 500
# and 2,000 swappable pins into a temporary folder, and for each one times
# `permutor --batch --seed 1 optimize` (loading, the whole automatic run, saving) and prints the
# ratsnest length and cross-overs before and after, as `permutor info` reports them. Then the same
# on the unrouted public FPGA board with U30's I/O banks as swap groups (`swapinfo --group-by names`).
#
#   bench/optimize_bench.sh [BUILD_DIR] [SIZES...]     (default: build-optbench, 100 500 2000)
#
# BUILD_DIR must hold a Release build of the command line (target permutor_cli). Target: the
# 2,000-pin board under 10 s on a two-core machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-optbench}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100 500 2000)
permutor="$build/permutor/permutor"
if [ ! -x "$permutor" ]; then
    echo "optimize_bench: no $permutor; build the permutor_cli target in $build first" >&2
    exit 2
fi
seed=${PERMUTOR_BENCH_SEED:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "ratsnest length   15368.976 mm (605.078 in)" and "cross-overs   6391" from `permutor info`.
figures() {
    "$permutor" info "$1" | awk '/ratsnest length/ {len=$3} /cross-overs/ {x=$2} END {print len, x}'
}

# Times `permutor optimize` on one board and prints its row: NAME PINS DOCUMENT.
run_case() {
    local name=$1 pins=$2 document=$3 len_before x_before len_after x_after start seconds status=0
    read -r len_before x_before < <(figures "$document")
    start=$(date +%s.%N)
    "$permutor" --batch --seed "$seed" --no-backup optimize "$document" >"$work/$name.log" 2>&1 || status=$?
    seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
    read -r len_after x_after < <(figures "$document")
    printf '%-10s %6d %10.2f %12.1f %12.1f %10d %10d  %s\n' "$name" "$pins" "$seconds" "$len_before" \
        "$len_after" "$x_before" "$x_after" "$([ $status -eq 0 ] && echo ok || echo "exit $status")"
    if [ $status -ne 0 ]; then
        sed 's/^/    /' "$work/$name.log" | tail -5
    fi
}

printf '%-10s %6s %10s %12s %12s %10s %10s  %s\n' board pins seconds "length b mm" "length a mm" "cross b" "cross a" status
for pins in "${sizes[@]}"; do
    run_case "fpga$pins" "$pins" "$(python3 bench/generate_fpga_board.py --pins "$pins" --seed "$seed" --out "$work/fpga$pins")"
done

# The unrouted public FPGA board, its I/O banks given swap groups first (when ../shared is there).
glasgow=../shared/boards/glasgow/hardware/boards/glasgow
if [ -f "$glasgow/glasgow-unrouted.kicad_pcb" ]; then
    mkdir -p "$work/glasgow"
    cp "$glasgow"/glasgow.kicad_pro "$glasgow"/glasgow-unrouted.kicad_pcb "$glasgow"/*.kicad_sch "$work/glasgow/"
    chmod u+w "$work/glasgow"/*
    board="$work/glasgow/glasgow-unrouted.kicad_pcb"
    grouped=$("$permutor" --json --yes swapinfo "$board" U30 --group-by names --enable-pins yes |
        python3 -c 'import json, sys; print(sum(len(g["pins"]) for g in json.load(sys.stdin)["groups"]))')
    run_case glasgow-u "$grouped" "$board"
fi
