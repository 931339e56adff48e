#!/usr/bin/env python3
"""Black-box tests of torvane-bridge on its virtual wheel: real sockets, real time, its trace.
The cases live in the cases_*.py modules beside this file.

    e2e.py CASE [CASE...] -- [LAUNCHER...] PROGRAM
    e2e.py --list       the cases' names, separated by ';'

PROGRAM is the Linux binary, or the .exe with a launcher such as cmake/wine-run.sh PREFIX.
"""
import glob
import importlib
import os
import sys

import harness

HERE = os.path.dirname(os.path.abspath(__file__))
for path in sorted(glob.glob(os.path.join(HERE, "cases_*.py"))):
    importlib.import_module(os.path.basename(path)[:-3])

if __name__ == "__main__":
    sys.exit(harness.main(sys.argv))
