#!/usr/bin/env python3
"""Writes the output of a build of vorsk into golden cases as their expected
output, for a change that alters an account on purpose:

    tools/update-golden.py build/vorsk tests/golden/extended_modes.case [NAME...]

Only the cases whose name holds one of the NAMEs (every case without any)
and that read their input from "in:" (no files, no "from:") are rewritten;
the others are listed and left alone. Read the diff before committing it.
"""
import os
import re
import shlex
import subprocess
import sys


def decode(quoted):
    m = re.fullmatch(r'"((?:[^"\\]|\\.)*)"(?:\s+x(\d+))?', quoted.strip())
    if not m:
        raise ValueError("bad quoted string: " + quoted)
    out = bytearray()
    s = m.group(1)
    i = 0
    simple = {"n": 10, "r": 13, "t": 9, "e": 27, "a": 7, "b": 8, "f": 12, "v": 11, "0": 0,
              "\\": 92, '"': 34}
    while i < len(s):
        c = s[i]
        if c != "\\":
            out += c.encode()
            i += 1
            continue
        e = s[i + 1]
        if e == "x":
            out.append(int(s[i + 2:i + 4], 16))
            i += 4
        else:
            out.append(simple[e])
            i += 2
    return bytes(out) * int(m.group(2) or 1)


def main():
    vorsk, path, *names = sys.argv[1:]
    lines = open(path, encoding="utf-8").read().split("\n")
    starts = [i for i, line in enumerate(lines) if line.startswith("=== ")]
    result = lines[:starts[0]] if starts else lines
    for k, start in enumerate(starts):
        end = starts[k + 1] if k + 1 < len(starts) else len(lines)
        block = lines[start:end]
        name = block[0][4:]
        sep = block.index("---") if "---" in block else None
        header = block[1:sep] if sep else []
        keys = {h.split(":", 1)[0] for h in header if ":" in h}
        chosen = not names or any(n in name for n in names)
        if not chosen or sep is None or not keys <= {"args", "in", "env", "status"}:
            if chosen:
                print("left alone:", name)
            result += block
            continue
        args, env, data = [], dict(os.environ), b""
        for h in header:
            key, _, rest = h.partition(":")
            if key == "args":
                args = shlex.split(rest)
            elif key == "in":
                data = decode(rest)
            elif key == "env":
                k2, _, v = rest.strip().partition("=")
                env[k2] = v
        out = subprocess.run([vorsk] + args, input=data, capture_output=True, env=env).stdout
        text = out.decode("utf-8", "surrogateescape")
        trailing = []
        while len(block) > sep + 1 and block[-1] == "":
            trailing.append("")
            block = block[:-1]
        new_body = text[:-1].split("\n") if text.endswith("\n") else text.split("\n")
        if text == "":
            new_body = []
        result += block[:sep + 1] + new_body + trailing
    open(path, "w", encoding="utf-8", errors="surrogateescape").write("\n".join(result))


main()
