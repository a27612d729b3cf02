#!/usr/bin/env python3
"""Prints the pin swap text ("Pin_A1=BANK_T|...") that puts an FPGA footprint's I/O pins into one
swap group per bank, read from the pads' pin functions on a KiCad board: IOT_/IOB_/IOL_/IOR_ pins
by their side, leaving out the configuration pins (SPI flash, boot select) and pins without a net.

  bench/fpga_bank_groups.py BOARD.kicad_pcb REFERENCE"""

import re
import sys


def footprint_text(board, reference):
    at = board.find(f'(property "Reference" "{reference}"')
    if at < 0:
        sys.exit(f"{reference}: no such footprint")
    start = board.rfind("(footprint", 0, at)
    depth = 0
    for end in range(start, len(board)):
        if board[end] == "(":
            depth += 1
        elif board[end] == ")":
            depth -= 1
            if depth == 0:
                return board[start:end + 1]
    sys.exit(f"{reference}: footprint not closed")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        footprint = footprint_text(f.read(), sys.argv[2])
    entries = []
    for pad in re.split(r'(?=\(pad ")', footprint)[1:]:
        name = re.match(r'\(pad "([^"]*)"', pad).group(1)
        function = re.search(r'\(pinfunction "([^"]*)"', pad)
        net = re.search(r'\(net \d+ "([^"]*)"', pad)
        if not function or not net:
            continue
        bank = re.match(r"IO([TBLR])_", function.group(1))
        if not bank or re.search(r"_(CBSEL\d*|SDO|SDI|SCK|SS)(_|$)", function.group(1)):
            continue
        entries.append(f"Pin_{name}=BANK_{bank.group(1)}")
    print("|".join(entries))


main()
