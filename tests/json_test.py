#!/usr/bin/env python3
"""Usage: json_test.py DATA_DIR PROGRAM

--json of every file of the corpus and of the recordings of both
directions, classic and with -X: every line is one JSON object, each item
has its bytes in one form, its offset is where the bytes before it of its
direction end, and the bytes of the items put together are the input,
exactly, for each direction. The same through a pipe, and with a selection
whose items are a part of those without it; a selection that keeps
everything keeps the account byte for byte."""
import gzip
import json
import os
import struct
import subprocess
import sys

data_dir, program = sys.argv[1], sys.argv[2]
failures = 0


def fail(message):
    global failures
    failures += 1
    print("FAIL: " + message)


def content(path):
    data = open(path, "rb").read()
    return gzip.decompress(data) if data[:2] == b"\x1f\x8b" else data


def run(args, stdin=None):
    return subprocess.run([program, "-I", "--json", *args], capture_output=True, check=True,
                          input=stdin).stdout


KINDS = {"text", "control", "sequence", "string", "delay", "metadata", "screen"}


def items_of(name, output):
    """The objects of the output, checked one by one."""
    objects = []
    for number, line in enumerate(output.split(b"\n")[:-1], 1):
        try:
            item = json.loads(line)
        except ValueError as error:
            fail("%s: line %d is no JSON object (%s): %r" % (name, number, error, line[:200]))
            return []
        if item.get("kind") not in KINDS or ("bytes" in item) == ("bytes_hex" in item):
            fail("%s: line %d: no kind, or not one of bytes and bytes_hex: %r"
                 % (name, number, line[:200]))
            return []
        objects.append(item)
    if not output.endswith(b"\n") and output:
        fail("%s: the output does not end with a newline" % name)
    return objects


def item_bytes(item):
    if "bytes" in item:
        # Valid UTF-8 only: the string is the bytes as they were.
        return item["bytes"].encode("utf-8", "surrogatepass")
    return bytes.fromhex(item["bytes_hex"])


def put_together(name, objects):
    """The bytes of each direction, each item where the ones before ended."""
    directions = {"output": bytearray(), "input": bytearray()}
    for item in objects:
        if item["kind"] in ("delay", "metadata", "screen"):
            if item_bytes(item):
                fail("%s: a %s item holds bytes" % (name, item["kind"]))
            continue
        got = directions[item.get("direction", "output")]
        if item["offset"] != len(got):
            fail("%s: an item at offset %d follows %d bytes of its direction: %r"
                 % (name, item["offset"], len(got), item))
            return None
        got += item_bytes(item)
    return directions


def check(name, args, expected, stdin=None):
    objects = items_of(name, run(args, stdin))
    directions = put_together(name, objects)
    if directions is None:
        return objects
    for direction, want in expected.items():
        got = bytes(directions[direction])
        if got != want:
            at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b),
                      min(len(got), len(want)))
            fail("%s: the %s put together differs from the input at byte %d of %d (%d put"
                 " together): %r against %r" % (name, direction, at, len(want), len(got),
                                                got[at:at + 40], want[at:at + 40]))
    return objects


def cast_directions(path):
    """The bytes of each direction of a cast of version 2."""
    out, typed = bytearray(), bytearray()
    for line in open(path, encoding="utf-8").read().splitlines()[1:]:
        if not line.strip():
            continue
        event = json.loads(line)
        if event[1] == "o":
            out += event[2].encode("utf-8")
        elif event[1] == "i":
            typed += event[2].encode("utf-8")
    return {"output": bytes(out), "input": bytes(typed)}


def advanced_directions(timing, log, extended):
    """The bytes of each direction of script's advanced timing and its log.
    Without -X the log's header and footer lines are output, as the classic
    reader shows them."""
    data = content(log)
    header = data[:data.index(b"\n") + 1]
    data = data[len(header):]
    out, typed, at = bytearray(b"" if extended else header), bytearray(), 0
    for line in content(timing).decode().splitlines():
        kind, _, size = (line.split(" ", 2) + ["", ""])[:3]
        if kind in ("O", "I"):
            n = int(size)
            (out if kind == "O" else typed).extend(data[at:at + n])
            at += n
    if not extended:
        out += data[at:]  # and the log's footer
    return {"output": bytes(out), "input": bytes(typed)}


def ttyrec_output(path):
    data, out, at = content(path), bytearray(), 0
    while at + 12 <= len(data):
        _, _, n = struct.unpack("<III", data[at:at + 12])
        out += data[at + 12:at + 12 + n]
        at += 12 + n
    return {"output": bytes(out)}


corpus = os.path.join(data_dir, "corpus")
recordings = os.path.join(data_dir, "recordings")
files = sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs
               if not f.endswith((".md", ".timing", ".gitattributes")))
for path in files:
    for mode in ([], ["-X"]):
        name = "%s %s" % (" ".join(mode), os.path.relpath(path, corpus))
        data = content(path)
        check(name, [*mode, path], {"output": data})
        timing = path[:-len(".typescript")] + ".timing" if path.endswith(".typescript") else None
        if timing and os.path.exists(timing):
            objects = check(name + " -t", [*mode, "-t", timing, path], {"output": data})
            if not any(item["kind"] == "delay" and "time" in item for item in objects):
                fail("%s -t: no delay item with its time" % name)

# A selection that keeps everything keeps the account as it is, byte for
# byte: items held back and let go, the memo of sequences on.
def account(args):
    return subprocess.run([program, "-I", *args], capture_output=True, check=True).stdout


for path in files:
    for mode in ([], ["-X"]):
        name = "%s %s" % (" ".join(mode), os.path.relpath(path, corpus))
        if account([*mode, "--from=byte:0", "--grep=.", path]) != account([*mode, path]):
            fail("%s: --from=byte:0 --grep=. is not the account" % name)

# Through a pipe, in the reads a pipe gives.
sample = content(os.path.join(corpus, "nasty", "escape-soup-512k.bin"))
for mode in ([], ["-X"]):
    check("%s escape-soup through a pipe" % " ".join(mode), mode, {"output": sample}, sample)

for mode in ([], ["-X"]):
    for cast in ("bash.cast", "alt-keys.cast", "answers.cast"):
        path = os.path.join(recordings, cast)
        name = "%s %s" % (" ".join(mode), cast)
        objects = check(name, [*mode, path], cast_directions(path))
        if not any(item.get("direction") == "input" for item in objects):
            fail("%s: no item of the input direction" % name)
    check("%s bash-io" % " ".join(mode),
          [*mode, "-t", os.path.join(recordings, "bash-io.timing"),
           os.path.join(recordings, "bash-io.log")],
          advanced_directions(os.path.join(recordings, "bash-io.timing"),
                              os.path.join(recordings, "bash-io.log"), bool(mode)))
    check("%s hello.ttyrec" % " ".join(mode), [*mode, os.path.join(recordings, "hello.ttyrec")],
          ttyrec_output(os.path.join(recordings, "hello.ttyrec")))

# A selection keeps whole items, the same as without it.
path = os.path.join(corpus, "typescripts", "vim-xterm256.typescript")
whole = [json.dumps(item) for item in items_of("vim", run(["-X", path]))]
kept = [json.dumps(item) for item in items_of("vim SGR", run(["-X", "--only=SGR", path]))]
if not kept or not all(json.loads(item).get("acronym") == "SGR" for item in kept):
    fail("--only=SGR keeps other items, or none: %r" % kept[:3])
if [item for item in whole if json.loads(item).get("acronym") == "SGR"] != kept:
    fail("--only=SGR does not keep the SGR items as they are without it")

print("%d failures" % failures)
sys.exit(1 if failures else 0)
