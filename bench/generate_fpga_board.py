#!/usr/bin/env python3
"""Writes a synthetic FPGA board as a KiCad 8 project for the optimiser benchmarks.

  U1       an FPGA-like BGA (1.0 mm pitch). Its outer balls are the N swappable I/O pins, in
           banks of 50 that are blocks along the package's sides; each bank is one pin swap group
           ("PinSwap" field, one symbol unit per bank). The inner balls are power (GND/VCC).
  J1..Jk   one pin-array connector (0.5 mm pitch) per bank beside the side its bank is on,
           centred on the bank and about as wide (further out when neighbours would overlap). A
           bank's pins go to its connector's pins in a random order, so the nets start tangled;
           two more pins of each connector are GND and VCC.

  generate_fpga_board.py --pins N --out DIR [--seed S] [--name NAME] [--devices D]

With --devices D the N pins are shared among D such FPGAs (U1..UD, each with its own connectors
and banks) side by side: boards with tens of thousands of swappable pins carry several devices,
and one symbol of 50,000 pins would repeat its swap field in a thousand units (a 1 GB schematic).
The first device is the one-device board's FPGA, pin for pin.

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
CONN_PITCH = 0.5
CONN_GAP = 0.8  # between neighbouring connectors of one row
CONN_ROW_GAP = 3.0  # between rows of connectors
CONN_CLEARANCE = 4.0  # from the BGA's edge to the first row of connectors


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

    # Banks are blocks along the sides: each I/O ball belongs to the side it is nearest; walking
    # the sides clockwise (top, right, bottom, left), across the side and then inwards, every 50
    # balls make a bank.
    def side_and_along(b):
        r, c = b
        distances = (r, side - 1 - c, side - 1 - r, c)  # top, right, bottom, left
        s = distances.index(min(distances))
        along = (c, r, side - 1 - c, side - 1 - r)[s]  # clockwise along that side
        return s, along

    io_balls.sort(key=lambda b: (*side_and_along(b), depth[b]))
    banks = [io_balls[i:i + BANK_SIZE] for i in range(0, len(io_balls), BANK_SIZE)]

    def ball_name(b):
        return f"{rows[b[0]]}{b[1] + 1}"

    nets = {}
    units = {}
    pin_swap = []
    half_bga = side * BALL_PITCH / 2.0
    # Each connector lies beside the BGA side its bank is on, centred on the bank and about as wide,
    # so that the bank's balls and the connector's pins overlap along the side: then the connection
    # length depends on the order of the pins, not only the crossings. (A connector off in a
    # diagonal direction would see every pin at the same Manhattan cost, whatever the order.)
    # Connectors that would overlap on one side go to a row further out.
    rows_used = {}  # side -> list of rows, each a list of (low, high) intervals along the side
    connectors = []
    extent = half_bga
    for k, bank in enumerate(banks):
        units[k + 1] = [(ball_name(b), f"IO_B{k}_{i}", "bidirectional") for i, b in enumerate(bank)]
        pin_swap += [f"Pin_{ball_name(b)}=BANK{k}" for b in bank]
        mx = sum(b[1] - centre for b in bank) / len(bank) * BALL_PITCH
        my = sum(b[0] - centre for b in bank) / len(bank) * BALL_PITCH
        # Outward normal (nx, ny) and the direction along the side (tx, ty).
        if abs(mx) >= abs(my):
            side_name, (nx, ny) = ("right" if mx > 0 else "left"), (1.0 if mx > 0 else -1.0, 0.0)
        else:
            side_name, (nx, ny) = ("bottom" if my > 0 else "top"), (0.0, 1.0 if my > 0 else -1.0)
        tx, ty = -ny, nx
        along_at = mx * tx + my * ty
        # As wide as the bank is along the side (a little less, for a gap), as deep as it needs.
        along_balls = [(b[1] - centre) * tx + (b[0] - centre) * ty for b in bank]
        span = (max(along_balls) - min(along_balls) + 1) * BALL_PITCH
        count = len(bank) + 2
        columns = max(2, int(0.65 * span / CONN_PITCH))
        conn_rows = math.ceil(count / columns)
        length, depth = (columns - 1) * CONN_PITCH, (conn_rows - 1) * CONN_PITCH
        low, high = along_at - length / 2 - CONN_GAP / 2, along_at + length / 2 + CONN_GAP / 2
        side_rows = rows_used.setdefault(side_name, [])
        row = next((i for i, taken in enumerate(side_rows) if all(high < a or low > b for a, b, _ in taken)),
                   len(side_rows))
        if row == len(side_rows):
            side_rows.append([])
        side_rows[row].append((low, high, depth))
        distance = half_bga + CONN_CLEARANCE + depth / 2 + \
            sum(max(d for _, _, d in taken) + CONN_ROW_GAP for taken in side_rows[:row])
        cx, cy = distance * nx + along_at * tx, distance * ny + along_at * ty
        extent = max(extent, abs(cx) + max(length, depth) / 2, abs(cy) + max(length, depth) / 2)
        pads = {}
        for p in range(count):
            along = (p % columns - (columns - 1) / 2.0) * CONN_PITCH
            across = (p // columns - (conn_rows - 1) / 2.0) * CONN_PITCH
            pads[str(p + 1)] = (round(along * tx + across * nx, 4), round(along * ty + across * ny, 4))
        ref = f"J{k + 1}"
        order = list(range(1, len(bank) + 1))
        rng.shuffle(order)
        for i, b in enumerate(bank):
            nets[("U1", ball_name(b))] = f"/B{k}_IO{i}"
            nets[(ref, str(order[i]))] = f"/B{k}_IO{i}"
        nets[(ref, str(len(bank) + 1))] = "GND"
        nets[(ref, str(len(bank) + 2))] = "VCC"
        name = f"Conn_{conn_rows}x{columns:02d}"
        connectors.append(dict(ref=ref, value=name, lib=f"Permutor:{name}", fp=f"Permutor:{name}_P0.5mm",
                               units=kicad.header_units(count), fields={}, at=(round(cx, 4), round(cy, 4)),
                               pads=pads, smd=True, pad_size=(0.3, 0.3), shape="circle", enable=None,
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
    extent += 5
    outline = ((-math.ceil(extent), -math.ceil(extent)), (math.ceil(extent), math.ceil(extent)))
    return [fpga] + connectors, nets, outline


def design_devices(pins, seed, devices):
    """`devices` FPGAs sharing `pins`, left to right; the first is design(pins of its share, seed)."""
    if devices == 1:
        return design(pins, seed)
    components, nets, low, high = [], {}, None, None
    x_offset, connector_count, sch_y = 0.0, 0, 0
    for d in range(devices):
        share = pins // devices + (1 if d < pins % devices else 0)
        comps, dnets, outline = design(share, seed if d == 0 else seed * 1000 + d)
        width = outline[1][0] - outline[0][0]
        dx = x_offset - outline[0][0]
        refs = {}
        banks = 0
        for comp in comps:
            old = comp["ref"]
            if old == "U1":
                comp["ref"] = f"U{d + 1}"
                comp["lib"] = comp["lib"] if d == 0 else f"{comp['lib']}_U{d + 1}"
                comp["sch_at"] = (comp["sch_at"][0], comp["sch_at"][1] + sch_y)
                banks = len(comp["units"])
            else:
                connector_count += 1
                comp["ref"] = f"J{connector_count}"
                comp["sch_at"] = (comp["sch_at"][0], comp["sch_at"][1] + sch_y)
            refs[old] = comp["ref"]
            comp["at"] = (round(comp["at"][0] + dx, 4), comp["at"][1])
        for (ref, pin), net in dnets.items():
            if d > 0 and net.startswith("/"):
                net = f"/U{d + 1}_{net[1:]}"
            nets[(refs[ref], pin)] = net
        components += comps
        lo = (outline[0][0] + dx, outline[0][1])
        hi = (outline[1][0] + dx, outline[1][1])
        low = lo if low is None else (min(low[0], lo[0]), min(low[1], lo[1]))
        high = hi if high is None else (max(high[0], hi[0]), max(high[1], hi[1]))
        x_offset += width + 20
        # The next device's symbols below this one's connectors on the sheet.
        sch_y += 400 + 90 * (banks // 20 + 1)
    return components, nets, (low, high)


def add_passives(components, nets, outline, count):
    """`count` decoupling capacitors between GND and VCC, in rows of 100 below the board's parts:
    boards of many parts besides the swappable ones. Returns the outline grown to hold them."""
    (x0, y0), (x1, y1) = outline
    pitch, per_row = 2.0, 100
    for i in range(count):
        ref = f"C{i + 1}"
        at = (round(x0 + 5 + pitch * (i % per_row), 4), round(y1 + 5 + pitch * (i // per_row), 4))
        components.append(dict(ref=ref, value="100n", lib="Permutor:C", fp="Permutor:C_0402",
                               units=kicad.header_units(2), fields={}, at=at,
                               pads={"1": (-0.5, 0.0), "2": (0.5, 0.0)}, smd=True, pad_size=(0.5, 0.5),
                               shape="rect", enable=None, sch_at=(20 + 10 * (i % 100), 2000 + 15 * (i // 100))))
        nets[(ref, "1")] = "GND"
        nets[(ref, "2")] = "VCC"
    rows = (count + per_row - 1) // per_row
    return ((x0, y0), (max(x1, x0 + 10 + pitch * per_row), y1 + 10 + pitch * rows)) if count else outline


def placed_unit(comp, unit, at):
    """A placed unit listing its own pins only, as KiCad writes them (the example's writer lists
    every pin of the symbol in each unit, which on a 40-bank FPGA makes a schematic ten times the
    size)."""
    return EXAMPLE_PLACED_SYMBOL(dict(comp, units={unit: comp["units"][unit]}), unit, at)


EXAMPLE_PLACED_SYMBOL = kicad.placed_symbol


def write(pins, out, seed, name, devices=1, passives=0):
    components, nets, outline = design_devices(pins, seed, devices)
    outline = add_passives(components, nets, outline, passives)
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
    parser.add_argument("--devices", type=int, default=1, help="FPGAs sharing the pins (default 1)")
    parser.add_argument("--passives", type=int, default=0,
                        help="decoupling capacitors besides the swappable parts (default 0)")
    args = parser.parse_args()
    if args.pins < 2:
        parser.error("--pins wants at least 2")
    if args.devices < 1 or args.pins < 2 * args.devices:
        parser.error("--devices wants at least 1, and 2 pins per device")
    if args.passives < 0:
        parser.error("--passives wants 0 or more")
    print(write(args.pins, args.out, args.seed, args.name or f"fpga{args.pins}", args.devices, args.passives))


if __name__ == "__main__":
    main()
