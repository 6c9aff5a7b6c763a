#!/usr/bin/env python3
"""Usage: screen_test.py SCREENS_DIR PROGRAM [VTERM_SCREEN [TYPESCRIPTS_DIR]]

The screen --screen shows against the screen of a real terminal: each
NAME.raw in SCREENS_DIR is the start of a recorded session, cut before an
escape sequence; NAME.tmux holds what tmux, given the same bytes at the
same size, showed (capture-pane), with a first line "size COLSxROWS cursor
ROW COL ALTERNATE VISIBLE" (0-based, from tmux's display). Rows and cursor
must agree. tmux captures a cell drawn from the DEC line-drawing set as the
ASCII byte that came, so both sides read such glyphs as those bytes.

With VTERM_SCREEN (tests/support/vterm_screen.cpp, over libvterm), the
same bytes go to libvterm too: every row where libvterm and tmux differ is
listed, and vorsk must agree with tmux on at least as many rows and
cursors as libvterm does. With TYPESCRIPTS_DIR too, the final screens of
its typescripts (the banner and trailer lines left out, at the size the
banner gives) go to both, and every row where they differ is listed: each
must be settled against a real terminal (as a tmux case above) before it
is accepted, so any is a failure here."""
import os
import re
import subprocess
import sys

screens, program = sys.argv[1], sys.argv[2]
vterm = sys.argv[3] if len(sys.argv) > 3 else None
typescripts = sys.argv[4] if len(sys.argv) > 4 else None

# The DEC Special Graphics glyphs, as the bytes 0x5F to 0x7E that draw them.
GLYPHS = ("\u00a0\u25c6\u2592\u2409\u240c\u240d\u240a\u00b0\u00b1\u2424\u240b\u2518\u2510"
          "\u250c\u2514\u253c\u23ba\u23bb\u2500\u23bc\u23bd\u251c\u2524\u2534\u252c\u2502"
          "\u2264\u2265\u03c0\u2260\u00a3\u00b7")
AS_BYTES = {ord(g): chr(0x5F + i) for i, g in enumerate(GLYPHS)}


def normal(row):
    return row.translate(AS_BYTES).rstrip()


failures = 0
checked = 0
agree = {"vorsk": 0, "libvterm": 0}
vterm_rows = 0
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
    agree["vorsk"] += sum(a == b for a, b in zip(expected, got))
    agree["vorsk"] += heading.endswith("cursor %sat line %d, column %d" % (
        "" if visible else "hidden ", crow + 1, ccol + 1))
    if problems:
        failures += 1
        print("FAIL: %s\n%s" % (name, "\n".join(problems)))
    if vterm is None:
        continue
    run = subprocess.run([vterm, str(cols), str(rows), os.path.join(screens, name + ".raw")],
                         capture_output=True)
    if run.returncode != 0:
        print("libvterm did not survive %s (status %d): left out" % (name, run.returncode))
        continue
    theirs = run.stdout.decode("utf-8", "replace").split("\n")
    vterm_rows += rows + 1
    agree["libvterm"] += theirs[0] == "cursor %d %d" % (crow + 1, ccol + 1)
    for i, (a, b) in enumerate(zip(expected, [normal(r) for r in theirs[1:1 + rows]])):
        if a == b:
            agree["libvterm"] += 1
        else:
            print("libvterm differs: %s row %d:\n  tmux:     %r\n  libvterm: %r" % (name, i + 1, a, b))

print("screens: %d passed, %d failed" % (checked - failures, failures))
if vterm is not None:
    print("rows and cursors agreeing with tmux: vorsk %d, libvterm %d of %d" %
          (agree["vorsk"], agree["libvterm"], vterm_rows))
    if agree["vorsk"] < agree["libvterm"]:
        print("FAIL: vorsk agrees with tmux on fewer rows than libvterm")
        failures += 1

if vterm is not None and typescripts is not None:
    import tempfile
    compared = differing = 0
    for name in sorted(f for f in os.listdir(typescripts) if f.endswith(".typescript")):
        with open(os.path.join(typescripts, name), "rb") as f:
            lines = f.read().split(b"\n")
        m = re.search(rb'COLUMNS="(\d+)" LINES="(\d+)"', lines[0])
        cols, rows = (int(m.group(1)), int(m.group(2))) if m else (80, 24)
        body = b"\n".join(lines[1:])
        done = body.rfind(b"\nScript done on ")
        if done >= 0:
            body = body[:done]
        with tempfile.NamedTemporaryFile() as raw:
            raw.write(body)
            raw.flush()
            run = subprocess.run([vterm, str(cols), str(rows), raw.name], capture_output=True)
            if run.returncode != 0:
                print("libvterm did not survive %s (status %d): left out" % (name, run.returncode))
                continue
            theirs = run.stdout.decode("utf-8", "replace").split("\n")[1:1 + rows]
            ours = subprocess.run([program, "--screen", "--only=screen",
                                   "--size=%dx%d" % (cols, rows), raw.name],
                                  capture_output=True, check=True).stdout.decode("utf-8")
        ours = [r[2:-1] for r in ours.split("\n")[1:1 + rows]]
        compared += rows
        for i, (a, b) in enumerate(zip(ours, theirs)):
            if a.rstrip() != b.rstrip():
                differing += 1
                print("vorsk and libvterm differ: %s row %d:\n  vorsk:    %r\n  libvterm: %r"
                      % (name, i + 1, a, b))
    print("final screens of typescripts: %d rows, %d differ from libvterm's" % (compared, differing))
    if differing:
        failures += 1
sys.exit(1 if failures else 0)
