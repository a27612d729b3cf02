#!/usr/bin/env bash
# The command line's optimisation end to end on generated FPGA boards: generates boards of 100, 500
# and 2,000 swappable pins (or the sizes given) into a temporary folder, and for each one times
# `permutor --batch --seed 1 optimize` (loading, the whole automatic run, saving), its peak memory
# (/usr/bin/time), the time of `permutor info` (loading and the board figures), and prints the
# ratsnest length and cross-overs before and after, as `permutor info` reports them. Boards of more
# than 10,000 pins share them among several FPGAs of at most 10,000 (generate_fpga_board.py
# --devices). Then the same on the unrouted public FPGA board with U30's I/O banks as swap groups
# (`swapinfo --group-by names`).
#
#   bench/optimize_bench.sh [BUILD_DIR] [SIZES...]     (default: build-optbench, 100 500 2000)
#
# A size of PINSxDEVICES shares PINS among that many FPGAs instead (10000x5: five of 2,000 pins,
# the same board per pin as fpga2000).
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

# "ratsnest length   15368.976 mm (605.078 in)" and "proper crossings   6391" from `permutor info`,
figures() {
    "$permutor" info "$1" | awk '/ratsnest length/ {len=$3} /proper crossings/ {x=$NF} END {print len, x}'
}
seconds_since() {
    awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN {print b - a}'
}

# Times `permutor optimize` on one board and prints its row: NAME PINS DOCUMENT.
run_case() {
    local name=$1 pins=$2 document=$3 len_before x_before len_after x_after start seconds info status=0 peak
    start=$(date +%s.%N)
    read -r len_before x_before < <(figures "$document")
    info=$(seconds_since "$start")
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/$name.mem" \
        "$permutor" --batch --seed "$seed" --no-backup optimize "$document" >"$work/$name.log" 2>&1 || status=$?
    seconds=$(seconds_since "$start")
    peak=$(awk '{print int($1 / 1024)}' "$work/$name.mem" | tail -n 1)
    read -r len_after x_after < <(figures "$document")
    printf '%-12s %6d %10.2f %8.2f %8d %12.1f %12.1f %10d %10d  %s\n' "$name" "$pins" "$seconds" "$info" "$peak" \
        "$len_before" "$len_after" "$x_before" "$x_after" "$([ $status -eq 0 ] && echo ok || echo "exit $status")"
    if [ $status -ne 0 ]; then
        sed 's/^/    /' "$work/$name.log" | tail -5
    fi
}

printf '%-12s %6s %10s %8s %8s %12s %12s %10s %10s  %s\n' board pins seconds "info s" "peak MiB" \
    "length b mm" "length a mm" "cross b" "cross a" status
for size in "${sizes[@]}"; do
    # PINS, or PINSxDEVICES for a board of that many FPGAs (10000x5: five of 2,000 pins).
    pins=${size%x*}
    if [ "$size" != "$pins" ]; then
        devices=${size#*x}
        name="fpga${pins}x$devices"
    else
        devices=$(( (pins + 9999) / 10000 ))
        name="fpga$pins"
    fi
    run_case "$name" "$pins" "$(python3 bench/generate_fpga_board.py --pins "$pins" --devices "$devices" \
        --seed "$seed" --out "$work/$name")"
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
