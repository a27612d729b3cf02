#!/usr/bin/env python3
"""Writes a synthetic FPGA board as a KiCad 8 project for the optimiser benchmarks.

  U1       an FPGA-like BGA (1.0 mm pitch). Its outer balls are the N swappable I/O pins, cut by
           angle around the centre into banks of 50; each bank is one pin swap group ("PinSwap"
           field, one symbol unit per bank). The inner balls are power (GND/VCC).
  J1..Jk   one fine-pitch 2-row connector per bank on a ring around the BGA, facing its bank. A
           bank's pins go to its connector's pins in a random order, so the nets start tangled;
           two more pins of each connector are GND and VCC.

  generate_fpga_board.py --pins N --out DIR [--seed S] [--name NAME]

writes DIR/NAME.kicad_pro, .kicad_sch, .kicad_pcb and .pinswap.json (NAME defaults to fpgaN).
The output depends only on the arguments. The file writers are the example project's
(examples/generate_demo.py), imported rather than copied."""

import argparse
import json
import math
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
import generate_demo as kicad  # noqa: E402  (the writers; importing it writes nothing)

BANK_SIZE = 50
BALL_PITCH = 1.0
CONN_PITCH = 0.8  # along a connector row
CONN_ROW_GAP = 1.6
CONN_GAP = 4.0  # between neighbouring connectors on the ring


def row_names(count):
    """Ball row letters as BGA packages name them (no I, O, Q, S, X, Z), then AA, AB, ..."""
    letters = [c for c in "ABCDEFGHJKLMNPRTUVWY"]
    names = list(letters)
    for first in letters:
        for second in letters:
            names.append(first + second)
    return names[:count]


def design(pins, seed):
    """Components and nets of the board: (components, nets) in the example writer's terms."""
    rng = random.Random(seed)
    power_count = max(8, pins // 4)
    side = math.ceil(math.sqrt(pins + power_count))
    rows = row_names(side)
    centre = (side - 1) / 2.0

    # Outer rings first: the first `pins` balls are I/O, the rest power.
    balls = [(r, c) for r in range(side) for c in range(side)]
    depth = {b: min(b[0], b[1], side - 1 - b[0], side - 1 - b[1]) for b in balls}
    balls.sort(key=lambda b: (depth[b], b))
    io_balls = balls[:pins]
    power_balls = balls[pins:pins + power_count]

    # Banks are sectors: I/O balls in order of angle around the centre, 50 at a time.
    def angle(b):
        return math.atan2(b[0] - centre, b[1] - centre)

    io_balls.sort(key=lambda b: (angle(b), depth[b]))
    banks = [io_balls[i:i + BANK_SIZE] for i in range(0, len(io_balls), BANK_SIZE)]

    def ball_name(b):
        return f"{rows[b[0]]}{b[1] + 1}"

    nets = {}
    units = {}
    pin_swap = []
    conn_len = max((len(bank) + 2 + 1) // 2 for bank in banks) * CONN_PITCH
    half_bga = side * BALL_PITCH / 2.0
    radius = max(half_bga * math.sqrt(2) + 10.0, len(banks) * (conn_len + CONN_GAP) / (2 * math.pi))
    centre_mm = (0.0, 0.0)
    connectors = []
    for k, bank in enumerate(banks):
        units[k + 1] = [(ball_name(b), f"IO_B{k}_{i}", "bidirectional") for i, b in enumerate(bank)]
        pin_swap += [f"Pin_{ball_name(b)}=BANK{k}" for b in bank]
        # The connector faces the middle of its bank.
        mean = math.atan2(sum(math.sin(angle(b)) for b in bank), sum(math.cos(angle(b)) for b in bank))
        cx, cy = centre_mm[0] + radius * math.cos(mean), centre_mm[1] + radius * math.sin(mean)
        count = len(bank) + 2
        count += count % 2
        per_row = count // 2
        tx, ty = -math.sin(mean), math.cos(mean)  # along the ring
        pads = {}
        for p in range(count):
            along = (p // 2 - (per_row - 1) / 2.0) * CONN_PITCH
            across = (p % 2 - 0.5) * CONN_ROW_GAP
            pads[str(p + 1)] = (round(along * tx + across * math.cos(mean), 4),
                                round(along * ty + across * math.sin(mean), 4))
        ref = f"J{k + 1}"
        order = list(range(1, len(bank) + 1))
        rng.shuffle(order)
        for i, b in enumerate(bank):
            nets[("U1", ball_name(b))] = f"/B{k}_IO{i}"
            nets[(ref, str(order[i]))] = f"/B{k}_IO{i}"
        nets[(ref, str(len(bank) + 1))] = "GND"
        nets[(ref, str(len(bank) + 2))] = "VCC"
        connectors.append(dict(ref=ref, value=f"Conn_2x{per_row:02d}", lib=f"Permutor:Conn_2x{per_row:02d}",
                               fp=f"Permutor:Conn_2x{per_row:02d}_P0.8mm", units=kicad.header_units(count),
                               fields={}, at=(round(cx, 4), round(cy, 4)), pads=pads, smd=True,
                               pad_size=(0.5, 0.5), shape="circle", enable=None,
                               sch_at=(20 + 45 * (k % 20), 300 + 90 * (k // 20))))

    power_units = {}
    for i, b in enumerate(power_balls):
        net = "GND" if i % 2 == 0 else "VCC"
        nets[("U1", ball_name(b))] = net
        power_units.setdefault(len(banks) + 1 + i // BANK_SIZE, []).append((ball_name(b), net, "power_in"))
    units.update(power_units)

    pads = {ball_name(b): ((b[1] - centre) * BALL_PITCH, (b[0] - centre) * BALL_PITCH)
            for b in io_balls + power_balls}
    fpga = dict(ref="U1", value=f"FPGA{pins}", lib=f"Permutor:FPGA{pins}", fp=f"Permutor:BGA-{side * side}_P1.0mm",
                units=units, fields={"PinSwap": "|".join(pin_swap)}, at=(0.0, 0.0), pads=pads, smd=True,
                pad_size=(0.5, 0.5), shape="circle", enable=("yes", "no"), sch_at=(60, 60))
    extent = radius + conn_len / 2 + 5
    outline = ((-math.ceil(extent), -math.ceil(extent)), (math.ceil(extent), math.ceil(extent)))
    return [fpga] + connectors, nets, outline


def placed_unit(comp, unit, at):
    """A placed unit listing its own pins only, as KiCad writes them (the example's writer lists
    every pin of the symbol in each unit, which on a 40-bank FPGA makes a schematic ten times the
    size)."""
    return EXAMPLE_PLACED_SYMBOL(dict(comp, units={unit: comp["units"][unit]}), unit, at)


EXAMPLE_PLACED_SYMBOL = kicad.placed_symbol


def write(pins, out, seed, name):
    components, nets, outline = design(pins, seed)
    # The example's writers read their design from module globals.
    kicad.COMPONENTS = components
    kicad.nets = nets
    kicad.net_names = ["GND", "VCC"] + sorted(set(nets.values()) - {"GND", "VCC"})
    kicad.net_ordinal = {n: i + 1 for i, n in enumerate(kicad.net_names)}
    kicad.PROJECT = name
    kicad.placed_symbol = placed_unit
    # Board coordinates: KiCad's origin is the sheet's top-left corner, keep everything positive.
    shift = -outline[0][0] + 10
    for comp in components:
        comp["at"] = (comp["at"][0] + shift, comp["at"][1] + shift)
    kicad.OUTLINE = ((outline[0][0] + shift, outline[0][1] + shift), (outline[1][0] + shift, outline[1][1] + shift))

    os.makedirs(out, exist_ok=True)
    sch, paths = kicad.schematic()
    files = {
        f"{name}.kicad_sch": sch,
        f"{name}.kicad_pcb": kicad.board(paths),
        f"{name}.kicad_pro": json.dumps(kicad.project(), indent=2, sort_keys=True) + "\n",
        f"{name}.pinswap.json": json.dumps({"allow_pin_changes": True, "allow_net_label_changes": False}, indent=2)
        + "\n",
    }
    for file_name, text in files.items():
        with open(os.path.join(out, file_name), "w", newline="\n") as f:
            f.write(text)
    return os.path.join(out, f"{name}.kicad_pro")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pins", type=int, required=True, help="swappable I/O pins of the FPGA")
    parser.add_argument("--out", required=True, help="folder to write the project into")
    parser.add_argument("--seed", type=int, default=1, help="seed of the tangled pin order")
    parser.add_argument("--name", help="project name (default fpgaN)")
    args = parser.parse_args()
    if args.pins < 2:
        parser.error("--pins wants at least 2")
    print(write(args.pins, args.out, args.seed, args.name or f"fpga{args.pins}"))


if __name__ == "__main__":
    main()
