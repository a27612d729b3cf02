"""What KiCad's own board code says about boards.

usage: kicad_board.py unconnected BOARD...   one line per board: the ratsnest line count
       kicad_board.py opens BOARD           loads the board; exit status 0 when it loads
       kicad_board.py resave BOARD OUT      loads the board and saves it in KiCad's own format
"""
import sys

import pcbnew


def load(path):
    board = pcbnew.LoadBoard(path)
    if board is None:
        raise IOError("KiCad could not load " + path)
    return board


def unconnected(paths):
    for path in paths:
        board = load(path)
        board.BuildConnectivity()
        print(board.GetConnectivity().GetUnconnectedCount(False))


def opens(path):
    board = load(path)
    print(len(board.GetFootprints()))


def resave(path, out):
    pcbnew.SaveBoard(out, load(path))


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    command, paths = argv[1], argv[2:]
    try:
        if command == "unconnected":
            unconnected(paths)
        elif command == "opens" and len(paths) == 1:
            opens(paths[0])
        elif command == "resave" and len(paths) == 2:
            resave(paths[0], paths[1])
        else:
            sys.exit(__doc__)
    except Exception as e:  # KiCad raises several kinds; the caller wants the text
        sys.exit("%s: %s" % (type(e).__name__, e))


if __name__ == "__main__":
    main(sys.argv)
