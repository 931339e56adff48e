#!/usr/bin/env python3
"""Black-box tests on the virtual wheel; the cases are in cases_*.py.
    e2e.py CASE [CASE...] -- [LAUNCHER...] PROGRAM      (LAUNCHER: cmake/wine-run.sh PREFIX)
    e2e.py --list       the cases' names, separated by ';'"""
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
