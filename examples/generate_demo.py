#!/usr/bin/env python3
"""Writes the embedded example project examples/demo/: a KiCad 8 project whose nets are tangled
on purpose, so that pin, gate and differential-pair swapping have something to untangle.

  U1  an FPGA-like 8x8 BGA; bank 0 (columns 1-2, facing J1) and bank 1 (columns 7-8, facing
      J2) are pin swap groups, columns 3-6 carry power; two differential pairs sit in bank 1.
      Its pin report fpga64_pins.csv (symbol field "PinInfo") gives every ball's bank, I/O
      standard and differential partner
  J1  2x8 header wired to bank 0 in a shuffled order
  J2  2x8 header wired to bank 1 in a shuffled order, pairs crossed
  U2  a quad NAND (4 gates + power unit) with part swap data, wired to J3 with gates crossed
  J3  1x12 header

Run it again to regenerate (--out DIR writes it elsewhere); the output is deterministic (fixed seed, name-based UUIDs)."""

import json
import os
import random
import sys
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "demo")
NS = uuid.UUID("6f1d3a52-6b8e-4e0c-9a59-5c2f5b7a1e11")
ROOT_UUID = str(uuid.uuid5(NS, "root-sheet"))
# The writers below take the project's name and board outline from here, so that other generators
# (bench/generate_fpga_board.py) can import them and write projects of their own.
PROJECT = "demo"
OUTLINE = ((55, 80), (145, 150))  # board edge: top-left and bottom-right corners, mm


def uid(*parts):
    return str(uuid.uuid5(NS, "/".join(str(p) for p in parts)))


def q(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def num(v):
    s = f"{v:.4f}".rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


# ------------------------------------------------------------------ the design

rng = random.Random(20261206)
ROWS = "ABCDEFGH"
# Each bank faces its connector, so a shuffled order costs length as well as crossings.
BANK0 = [f"{r}{c}" for r in ROWS for c in (1, 2)]
BANK1 = [f"{r}{c}" for r in ROWS for c in (7, 8)]
PAIRS = {"G8": "LVDS0_P", "G7": "LVDS0_N", "H8": "LVDS1_P", "H7": "LVDS1_N"}
POWER = {f"{r}{c}": ("GND" if c in (3, 6) else "VCC") for r in ROWS for c in (3, 4, 5, 6)}

nets = {}  # (ref, pad) -> net name


def connect(net, *pins):
    for p in pins:
        nets[p] = net


# Bank 0 to J1, shuffled.
j1 = list(range(1, 17))
rng.shuffle(j1)
for i, ball in enumerate(BANK0):
    connect(f"/B0_IO{i}", ("U1", ball), ("J1", str(j1[i])))
# Bank 1 single-ended pins to J2, shuffled; pairs go to J2 pins 13-16, crossed.
singles = [b for b in BANK1 if b not in PAIRS]
j2 = list(range(1, 13))
rng.shuffle(j2)
for i, ball in enumerate(singles):
    connect(f"/B1_IO{i}", ("U1", ball), ("J2", str(j2[i])))
pair_pins = {"LVDS0_P": "15", "LVDS0_N": "16", "LVDS1_P": "13", "LVDS1_N": "14"}
for ball, net in PAIRS.items():
    connect(f"/{net}", ("U1", ball), ("J2", pair_pins[net]))
for ball, net in POWER.items():
    connect(net, ("U1", ball))
# Quad NAND: gate g has inputs A, B and output Y; each gate wired to J3 in a crossed order.
GATES = {1: ("1", "2", "3"), 2: ("4", "5", "6"), 3: ("9", "10", "8"), 4: ("12", "13", "11")}
gate_slot = {1: 3, 2: 4, 3: 1, 4: 2}
for g, (a, b, y) in GATES.items():
    s = gate_slot[g]
    connect(f"/G{s}_A", ("U2", a), ("J3", str(3 * s - 2)))
    connect(f"/G{s}_B", ("U2", b), ("J3", str(3 * s - 1)))
    connect(f"/G{s}_Y", ("U2", y), ("J3", str(3 * s)))
connect("GND", ("U2", "7"))
connect("VCC", ("U2", "14"))

net_names = ["GND", "VCC"] + sorted({n for n in nets.values()} - {"GND", "VCC"})
net_ordinal = {n: i + 1 for i, n in enumerate(net_names)}

# ------------------------------------------------------------------ components

# Each component: reference, value, footprint, library symbol, units {unit: [(pin, name, type)]},
# swap fields, board placement, pad positions relative to the footprint origin.
def fpga_units():
    u1 = [(b, f"B0_IO{i}", "bidirectional") for i, b in enumerate(BANK0)]
    u2 = [(b, PAIRS.get(b, f"B1_IO{b}"), "bidirectional") for b in BANK1]
    u3 = [(b, POWER[b], "power_in") for b in POWER]
    return {1: u1, 2: u2, 3: u3}


def header_units(n):
    return {1: [(str(i), f"Pin_{i}", "passive") for i in range(1, n + 1)]}


def nand_units():
    units = {g: [(a, "A", "input"), (b, "B", "input"), (y, "Y", "output")] for g, (a, b, y) in GATES.items()}
    units[5] = [("7", "GND", "power_in"), ("14", "VCC", "power_in")]
    return units


def grid_pads(pitch=1.0):
    pads = {}
    for r, row in enumerate(ROWS):
        for c in range(1, 9):
            pads[f"{row}{c}"] = ((c - 4.5) * pitch, (r - 3.5) * pitch)
    return pads


def header_pads(n, cols):
    pads = {}
    for i in range(1, n + 1):
        if cols == 2:
            pads[str(i)] = ((i - 1) % 2 * 2.54 - 1.27, (i - 1) // 2 * 2.54 - 8.89)
        else:
            pads[str(i)] = ((i - 1) * 2.54 - 13.97, 0.0)
    return pads


def soic14_pads():
    pads = {}
    for i in range(1, 8):
        pads[str(i)] = (-2.7, (i - 4) * 1.27)
        pads[str(15 - i)] = (2.7, (i - 4) * 1.27)
    return pads


pin_swap_u1 = "|".join(f"Pin_{b}=BANK0" for b in BANK0) + "|" + "|".join(
    f"Pin_{b}=BANK1" for b in BANK1 if b not in PAIRS)
pair_swap_u1 = "|".join(f"Pair_{b}=DP" for b in BANK1 if b in PAIRS)
part_swap_u2 = "|".join(f"Part_{p}=NAND|PartPin_{p}={n}" for g, pins in GATES.items()
                        for p, n in zip(pins, ("A", "B", "Y")))

COMPONENTS = [
    dict(ref="U1", value="FPGA64", lib="Permutor:FPGA64", fp="Permutor:BGA-64_8x8_P1.0mm", units=fpga_units(),
         fields={"FpgaConstraints": "demo.pcf", "PinSwap": pin_swap_u1, "PairSwap": pair_swap_u1,
                 "KestrelConfig": "KESTREL.pincfg", "PinInfo": "fpga64_pins.csv"}, at=(100, 100), pads=grid_pads(), smd=True,
         pad_size=(0.5, 0.5), shape="circle", enable=("yes", "no"), sch_at=(60, 60)),
    dict(ref="J1", value="Conn_2x08", lib="Permutor:Conn_2x08", fp="Permutor:PinHeader_2x08_P2.54mm",
         units=header_units(16), fields={}, at=(86, 100), pads=header_pads(16, 2), smd=False, pad_size=(1.7, 1.7),
         shape="circle", enable=None, sch_at=(20, 60)),
    dict(ref="J2", value="Conn_2x08", lib="Permutor:Conn_2x08", fp="Permutor:PinHeader_2x08_P2.54mm",
         units=header_units(16), fields={}, at=(114, 100), pads=header_pads(16, 2), smd=False, pad_size=(1.7, 1.7),
         shape="circle", enable=None, sch_at=(200, 60)),
    dict(ref="U2", value="74HC00", lib="Permutor:74HC00", fp="Permutor:SOIC-14_3.9x8.7mm_P1.27mm",
         units=nand_units(), fields={"PartSwap": part_swap_u2}, at=(100, 124), pads=soic14_pads(), smd=True,
         pad_size=(1.5, 0.6), shape="roundrect", enable=("no", "yes"), sch_at=(60, 200)),
    dict(ref="J3", value="Conn_1x12", lib="Permutor:Conn_1x12", fp="Permutor:PinHeader_1x12_P2.54mm",
         units=header_units(12), fields={}, at=(100, 140), pads=header_pads(12, 1), smd=False, pad_size=(1.7, 1.7),
         shape="circle", enable=None, sch_at=(200, 200)),
]


def pin_report():
    """U1's pin report: a CSV table whose header names the fields. In bank 1, column 8 is the
    true and column 7 the complement side of a differential pair on every row."""
    names = {b: n for unit in fpga_units().values() for b, n, _ in unit}
    lines = ["Pin,Pin Name,Bank,IO Standard,Diff Pair,Slew,Drive,IO,VREF,Clock,Config,Special"]
    for row in ROWS:
        for col in range(1, 9):
            ball = f"{row}{col}"
            if ball in BANK0:
                fields = ["0", "LVCMOS33", "", "SLOW", "8", "Yes"]
            elif ball in BANK1:
                partner = f"{row}{15 - col}"
                standard = "LVDS_25" if ball in PAIRS else "LVCMOS25"
                fields = ["1", standard, partner, "FAST" if ball in PAIRS else "SLOW", "" if ball in PAIRS else "8",
                          "Yes"]
            else:
                fields = ["", "", "", "", "", "No"]
            lines.append(",".join([ball, names[ball]] + fields + ["No", "No", "No", "No"]))
    return "\n".join(lines) + "\n"


# ------------------------------------------------------------------ schematic

FONT = "(effects (font (size 1.27 1.27)))"
HIDDEN = "(effects (font (size 1.27 1.27)) (hide yes))"


def unit_pin_positions(comp, unit):
    """Library coordinates of each pin of a unit: a column left and right of the body."""
    pins = comp["units"][unit]
    half = (len(pins) + 1) // 2
    out = {}
    for i, (number, _, _) in enumerate(pins):
        side = -1 if i < half else 1
        row = i if i < half else i - half
        out[number] = (side * 12.7, 2.54 * (half / 2 - row))
    return out, half


def lib_symbol(comp):
    name = comp["lib"].split(":")[1]
    lines = [f"\t\t(symbol {q(comp['lib'])}", "\t\t\t(pin_names (offset 1.016))", "\t\t\t(exclude_from_sim no)",
             "\t\t\t(in_bom yes)", "\t\t\t(on_board yes)"]
    for key, value, hide in (("Reference", comp["ref"].rstrip("0123456789"), False), ("Value", comp["value"], False),
                             ("Footprint", comp["fp"], True), ("Datasheet", "", True), ("Description", "", True)):
        lines.append(f"\t\t\t(property {q(key)} {q(value)} (at 0 0 0) {HIDDEN if hide else FONT})")
    for unit in sorted(comp["units"]):
        positions, half = unit_pin_positions(comp, unit)
        lines.append(f"\t\t\t(symbol {q(f'{name}_{unit}_1')}")
        lines.append(f"\t\t\t\t(rectangle (start -10.16 {num(2.54 * (half / 2 + 1))}) (end 10.16 "
                     f"{num(-2.54 * (half / 2 + 1))}) (stroke (width 0.254) (type default)) (fill (type background)))")
        for number, pname, ptype in comp["units"][unit]:
            x, y = positions[number]
            angle = 0 if x < 0 else 180
            lines.append(f"\t\t\t\t(pin {ptype} line (at {num(x)} {num(y)} {angle}) (length 2.54) "
                         f"(name {q(pname)} {FONT}) (number {q(number)} {FONT}))")
        lines.append("\t\t\t)")
    lines.append("\t\t)")
    return lines


def placed_symbol(comp, unit, at):
    sym_uuid = uid("symbol", comp["ref"], unit)
    lines = [f"\t(symbol (lib_id {q(comp['lib'])}) (at {num(at[0])} {num(at[1])} 0) (unit {unit})",
             "\t\t(exclude_from_sim no) (in_bom yes) (on_board yes) (dnp no)", f"\t\t(uuid {q(sym_uuid)})"]
    props = [("Reference", comp["ref"], False), ("Value", comp["value"], False), ("Footprint", comp["fp"], True),
             ("Datasheet", "", True)]
    props += [(k, v, True) for k, v in comp["fields"].items()]
    for key, value, hide in props:
        lines.append(f"\t\t(property {q(key)} {q(value)} (at {num(at[0])} {num(at[1] - 20)} 0) "
                     f"{HIDDEN if hide else FONT})")
    for u in sorted(comp["units"]):
        for number, _, _ in comp["units"][u]:
            lines.append(f"\t\t(pin {q(number)} (uuid {q(uid('pin', comp['ref'], unit, number))}))")
    lines.append(f"\t\t(instances (project {q(PROJECT)} (path {q('/' + ROOT_UUID)} (reference {q(comp['ref'])}) "
                 f"(unit {unit}))))")
    lines.append("\t)")
    return lines, sym_uuid


def schematic():
    lines = ["(kicad_sch", "\t(version 20231120)", '\t(generator "permutor_example")',
             '\t(generator_version "8.0")', f"\t(uuid {q(ROOT_UUID)})", '\t(paper "A3")', "\t(lib_symbols"]
    for comp in COMPONENTS:
        lines += lib_symbol(comp)
    lines.append("\t)")
    paths = {}
    for comp in COMPONENTS:
        for k, unit in enumerate(sorted(comp["units"])):
            at = (comp["sch_at"][0] + 45 * k, comp["sch_at"][1])
            body, sym_uuid = placed_symbol(comp, unit, at)
            lines += body
            paths.setdefault(comp["ref"], sym_uuid)
            # A net label on every connected pin end names its net in the schematic too.
            positions, _ = unit_pin_positions(comp, unit)
            for number, _, _ in comp["units"][unit]:
                net = nets.get((comp["ref"], number))
                if not net:
                    continue
                x, y = positions[number]
                label = "label" if net.startswith("/") else "global_label"
                text = net[1:] if net.startswith("/") else net
                shape = "" if label == "label" else " (shape passive)"
                lines.append(f"\t({label} {q(text)}{shape} (at {num(at[0] + x)} {num(at[1] - y)} 0) {FONT} "
                             f"(uuid {q(uid('label', comp['ref'], number))}))")
    lines.append('\t(sheet_instances (path "/" (page "1")))')
    lines.append(")")
    return "\n".join(lines) + "\n", paths

# ------------------------------------------------------------------ board


def board(paths):
    lines = ["(kicad_pcb", "\t(version 20240108)", '\t(generator "permutor_example")', '\t(generator_version "8.0")',
             "\t(general (thickness 1.6) (legacy_teardrops no))", '\t(paper "A4")', "\t(layers",
             '\t\t(0 "F.Cu" signal)', '\t\t(31 "B.Cu" signal)', '\t\t(34 "B.Paste" user)', '\t\t(35 "F.Paste" user)',
             '\t\t(36 "B.SilkS" user "B.Silkscreen")', '\t\t(37 "F.SilkS" user "F.Silkscreen")',
             '\t\t(38 "B.Mask" user)', '\t\t(39 "F.Mask" user)', '\t\t(44 "Edge.Cuts" user)',
             '\t\t(49 "F.Fab" user)', "\t)", "\t(setup (pad_to_mask_clearance 0))", '\t(net 0 "")']
    for name in net_names:
        lines.append(f"\t(net {net_ordinal[name]} {q(name)})")
    for comp in COMPONENTS:
        ref = comp["ref"]
        fx, fy = comp["at"]
        lines += [f"\t(footprint {q(comp['fp'])}", '\t\t(layer "F.Cu")', f"\t\t(uuid {q(uid('footprint', ref))})",
                  f"\t\t(at {num(fx)} {num(fy)})",
                  f'\t\t(property "Reference" {q(ref)} (at 0 -12 0) (layer "F.SilkS") '
                  f"(uuid {q(uid('fpref', ref))}) (effects (font (size 1 1) (thickness 0.15))))",
                  f'\t\t(property "Value" {q(comp["value"])} (at 0 12 0) (layer "F.Fab") '
                  f"(uuid {q(uid('fpval', ref))}) (effects (font (size 1 1) (thickness 0.15))))",
                  f'\t\t(property "Footprint" {q(comp["fp"])} (at 0 0 0) (layer "F.Fab") (hide yes) '
                  f"(uuid {q(uid('fpfp', ref))}) (effects (font (size 1 1) (thickness 0.15))))",
                  f'\t\t(property "Datasheet" "" (at 0 0 0) (layer "F.Fab") (hide yes) '
                  f"(uuid {q(uid('fpds', ref))}) (effects (font (size 1 1) (thickness 0.15))))"]
        if comp["enable"]:
            for key, value in zip(("PinSwapEnabled", "PartSwapEnabled"), comp["enable"]):
                lines.append(f"\t\t(property {q(key)} {q(value)} (at 0 0 0) (layer \"F.Fab\") (hide yes) "
                             f"(uuid {q(uid('fpsw', ref, key))}) (effects (font (size 1 1) (thickness 0.15))))")
        lines += [f"\t\t(path {q('/' + paths[ref])})", '\t\t(sheetname "Root")',
                  f'\t\t(sheetfile {q(PROJECT + ".kicad_sch")})',
                  f"\t\t(attr {'smd' if comp['smd'] else 'through_hole'})"]
        w, h = comp["pad_size"]
        for number, (px, py) in comp["pads"].items():
            if comp["smd"]:
                head = f"(pad {q(number)} smd {comp['shape']}"
                layers = '(layers "F.Cu" "F.Paste" "F.Mask")'
                drill = ""
            else:
                head = f"(pad {q(number)} thru_hole {'rect' if number == '1' else 'circle'}"
                layers = '(layers "*.Cu" "*.Mask")'
                drill = " (drill 1)"
            extra = " (roundrect_rratio 0.25)" if comp["shape"] == "roundrect" else ""
            net = nets.get((ref, number))
            net_text = f" (net {net_ordinal[net]} {q(net)})" if net else ""
            lines.append(f"\t\t{head} (at {num(px)} {num(py)}) (size {num(w)} {num(h)}){drill} {layers}{extra}"
                         f"{net_text} (uuid {q(uid('pad', ref, number))}))")
        lines.append("\t)")
    # Board outline.
    (left, top), (right, bottom) = OUTLINE
    for (x1, y1), (x2, y2) in (((left, top), (right, top)), ((right, top), (right, bottom)),
                               ((right, bottom), (left, bottom)), ((left, bottom), (left, top))):
        lines.append(f"\t(gr_line (start {x1} {y1}) (end {x2} {y2}) (stroke (width 0.1) (type default)) "
                     f"(layer \"Edge.Cuts\") (uuid {q(uid('edge', x1, y1))}))")
    lines.append(")")
    return "\n".join(lines) + "\n"


def kestrel_config():
    """U1's pin configuration for the stand-in external tool: its two banks as swap sets, each pin
    with the signal the FPGA design puts on it; A1 carries the clock and stays where it is."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             "<!-- U1's pin configuration: which pins may trade signals, as the FPGA design allows. -->",
             '<pinConfiguration component="U1">']
    for bank, balls in (("BANK0", BANK0), ("BANK1", [b for b in BANK1 if b not in PAIRS])):
        lines.append(f'  <swapSet name="{bank}">')
        for ball in balls:
            signal = nets[("U1", ball)].lstrip("/")
            locked = ' locked="yes"' if ball == "A1" else ""
            lines.append(f'    <pin name="{ball}" signal="{signal}"{locked}/>')
        lines.append("  </swapSet>")
    lines.append("</pinConfiguration>")
    return "\n".join(lines) + "\n"


def project():
    return {
        "board": {"design_settings": {"defaults": {}, "rules": {}}},
        "meta": {"filename": PROJECT + ".kicad_pro", "version": 1},
        "net_settings": {"classes": [{"name": "Default", "clearance": 0.2, "track_width": 0.2,
                                      "diff_pair_width": 0.2, "diff_pair_gap": 0.25}],
                         "meta": {"version": 3}},
        "sheets": [[ROOT_UUID, "Root"]],
        "text_variables": {},
    }


def main():
    # --out DIR writes the example elsewhere, e.g. to check that the committed one is current.
    out = sys.argv[sys.argv.index("--out") + 1] if "--out" in sys.argv[1:-1] else OUT
    os.makedirs(out, exist_ok=True)
    sch, paths = schematic()
    files = {
        "demo.kicad_sch": sch,
        "demo.kicad_pcb": board(paths),
        "demo.kicad_pro": json.dumps(project(), indent=2, sort_keys=True) + "\n",
        "fpga64_pins.csv": pin_report(),
        "demo.pinswap.json": json.dumps({"allow_pin_changes": True, "allow_net_label_changes": False}, indent=2)
        + "\n",
        "KESTREL.pincfg": kestrel_config(),
    }
    for name, text in files.items():
        with open(os.path.join(out, name), "w", newline="\n") as f:
            f.write(text)
    print(f"wrote {len(files)} files to {out}")


if __name__ == "__main__":
    main()
