#!/usr/bin/env python3
"""Usage: screen_test.py SCREENS_DIR PROGRAM

The screen --screen shows against the screen of a real terminal: each
NAME.raw in SCREENS_DIR is the start of a recorded session, cut before an
escape sequence; NAME.tmux holds what tmux, given the same bytes at the
same size, showed (capture-pane), with a first line "size COLSxROWS cursor
ROW COL ALTERNATE VISIBLE" (0-based, from tmux's display). Rows and cursor
must agree. tmux captures a cell drawn from the DEC line-drawing set as the
ASCII byte that came, so both sides read such glyphs as those bytes."""
import os
import re
import subprocess
import sys

screens, program = sys.argv[1], sys.argv[2]

# The DEC Special Graphics glyphs, as the bytes 0x5F to 0x7E that draw them.
GLYPHS = ("\u00a0\u25c6\u2592\u2409\u240c\u240d\u240a\u00b0\u00b1\u2424\u240b\u2518\u2510"
          "\u250c\u2514\u253c\u23ba\u23bb\u2500\u23bc\u23bd\u251c\u2524\u2534\u252c\u2502"
          "\u2264\u2265\u03c0\u2260\u00a3\u00b7")
AS_BYTES = {ord(g): chr(0x5F + i) for i, g in enumerate(GLYPHS)}


def normal(row):
    return row.translate(AS_BYTES).rstrip()


failures = 0
checked = 0
for name in sorted(f[:-4] for f in os.listdir(screens) if f.endswith(".raw")):
    with open(os.path.join(screens, name + ".tmux"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    m = re.match(r"size (\d+)x(\d+) cursor (\d+) (\d+) (\d) (\d)", lines[0])
    cols, rows, crow, ccol, alternate, visible = (int(g) for g in m.groups())
    expected = [normal(r) for r in lines[1:1 + rows]]
    out = subprocess.run([program, "--screen", "--only=screen", "--size=%dx%d" % (cols, rows),
                          os.path.join(screens, name + ".raw")],
                         capture_output=True, check=True).stdout.decode("utf-8").split("\n")
    heading = out[0]
    got = [normal(r[2:-1]) for r in out[1:1 + rows]]
    checked += 1
    want_heading = "%s screen, cursor %sat line %d, column %d" % (
        "alternate" if alternate else "main", "" if visible else "hidden ", crow + 1, ccol + 1)
    problems = []
    if not heading.endswith(want_heading):
        problems.append("heading %r, tmux says %r" % (heading, want_heading))
    for i, (a, b) in enumerate(zip(expected, got)):
        if a != b:
            problems.append("row %d:\n  tmux:  %r\n  vorsk: %r" % (i + 1, a, b))
    if problems:
        failures += 1
        print("FAIL: %s\n%s" % (name, "\n".join(problems)))

print("screens: %d passed, %d failed" % (checked - failures, failures))
sys.exit(1 if failures else 0)
