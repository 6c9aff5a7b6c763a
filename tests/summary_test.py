#!/usr/bin/env python3
"""Usage: summary_test.py CORPUS_DIR PROGRAM

The summary of every file of the corpus, classic and with -X: its JSON
parses, its counts add up to its totals and to the input's length, the
table of --summary=only lists the same rows, and the account that --summary
follows is the account without it, byte for byte. A few recordings are
known to use what their summary must say."""
import gzip
import json
import os
import subprocess
import sys

corpus, program = sys.argv[1], sys.argv[2]
failures = 0



def content(path):
    data = open(path, "rb").read()
    return gzip.decompress(data) if data[:2] == b"\x1f\x8b" else data

def fail(message):
    global failures
    failures += 1
    print("FAIL: " + message)


def run(*args):
    return subprocess.run([program, "-I", *args], capture_output=True, check=True).stdout


KINDS = ["control", "escape", "designation", "function", "sequence", "mode",
         "private mode", "string"]
files = sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs
               if not f.endswith((".md", ".timing", ".gitattributes")))
summaries = {}
for path in files:
    # A gzip-compressed file is read as what it holds.
    size = len(content(path))
    for mode in ([], ["-X"]):
        name = "%s %s" % (" ".join(mode), os.path.relpath(path, corpus))
        summary = json.loads(run(*mode, "--summary=json", path))
        summaries[(tuple(mode), os.path.basename(path))] = summary
        rows, totals = summary["rows"], summary["totals"]
        if summary["bytes"] != size:
            fail("%s: %d bytes, not %d" % (name, summary["bytes"], size))
        order = [KINDS.index(r["kind"]) for r in rows]
        if order != sorted(order):
            fail("%s: rows out of the order of their kinds" % name)
        controls = sum(r["count"] for r in rows if r["kind"] == "control")
        if controls != totals["controls"]:
            fail("%s: control rows count %d, the total says %d" % (name, controls,
                                                                     totals["controls"]))
        sequences = sum(r["count"] for r in rows
                        if r["kind"] in ("escape", "designation", "function", "sequence"))
        if sequences != totals["sequences"]:
            fail("%s: sequence rows count %d, the total says %d" % (name, sequences,
                                                                      totals["sequences"]))
        if any(r["first"] >= size or r["count"] < 1 for r in rows):
            fail("%s: a row's first offset lies past the input, or it counts nothing" % name)
        if totals["text_bytes"] + totals["controls"] + totals["invalid_utf8"] > size:
            fail("%s: the totals hold more bytes than the input" % name)
        table = run(*mode, "--summary=only", path).decode().splitlines()
        if len(table) < len(rows) + 2:
            fail("%s: the table is shorter than the JSON's rows" % name)
        for row, line in zip(rows, table[2:]):
            if not line.startswith("%-13s%-16s%10d %10d" % (row["kind"], row["label"],
                                                            row["count"], row["first"])):
                fail("%s: table row %r is not JSON row %r" % (name, line, row))
                break
        if not mode:
            # Every control byte but ESC is a control wherever it stands,
            # the LF that ends a text line too, however reads split the input.
            data = content(path)
            counted = {r["label"]: r["count"] for r in rows if r["kind"] == "control"}
            for b in list(range(0x1b)) + list(range(0x1c, 0x20)):
                label = ["NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT",
                         "LF", "VT", "FF", "CR", "SO", "SI", "DLE", "DC1", "DC2", "DC3",
                         "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "IS4",
                         "IS3", "IS2", "IS1"][b]
                if counted.get(label, 0) != data.count(bytes([b])):
                    fail("%s: %s counted %d times, the input holds %d" %
                         (name, label, counted.get(label, 0), data.count(bytes([b]))))
        plain = run(*mode, path)
        after = run(*mode, "--summary", path)
        if not after.startswith(plain) or not after[len(plain):].startswith(b"Summary of "):
            fail("%s: the account before the summary is not the account" % name)


def features(mode, name):
    return summaries[(mode, name)]["features"]


# What a few recordings are known to do.
expected = [
    (("-X",), "vim-xterm256.typescript", "color_depth", 256),
    (("-X",), "htop.typescript", "alternate_screen", True),
    (("-X",), "htop.typescript", "mouse_encodings", ["sgr"]),
    ((), "less-gpl.typescript", "color_depth", 0),
    ((), "ls-color.typescript", "hyperlinks", False),
]
for mode, name, key, value in expected:
    if features(mode, name)[key] != value:
        fail("%s: %s is %r, not %r" % (name, key, features(mode, name)[key], value))

print("%d summaries checked, %d failures" % (len(summaries), failures))
sys.exit(1 if failures else 0)
