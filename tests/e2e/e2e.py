#!/usr/bin/env python3
"""Black-box tests of the shipped program: torvane-bridge on its virtual wheel, with real
sockets, real time and its trace file.

    e2e.py CASE [CASE...] -- [LAUNCHER...] PROGRAM
    e2e.py --list       the cases' names, separated by ';'

PROGRAM is the Linux binary, or the .exe with a launcher such as cmake/wine-run.sh PREFIX.
Each case starts the program, talks to it on 127.0.0.1:8766 and :8767, ends it, and checks its
exit code, its output and its trace. Prints one line per case and "N passed, N failed".
These are the program's observable behaviour; the unit suite keeps only pure logic and faults
that need an injected wheel. The cases live in the cases_*.py modules beside this file, each
registering its own.
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
