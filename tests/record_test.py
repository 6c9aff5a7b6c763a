#!/usr/bin/env python3
"""--record: the cast written of a recording, read back, gives the same
account; the cast is JSON in valid UTF-8 whatever the stream held; -c
records a session under a pseudo-terminal as it goes.

    record_test.py DATA_DIR VORSK [--player]

With --player, Debian's asciinema (2.2) reads the v2 casts written of
the corpus's typescripts and gives back each typescript byte for byte
(skipped, status 77, where asciinema is not installed).

What a cast cannot carry is left out of the comparison: facts of the
recording that have no place in a cast (metadata lines other than a
resize, a marker, and in v3 the exit status; the header's facts are
compared as a set), and pauses of no time (every event of a cast has a
time, so bytes that came without a pause read back with one of 0). A
stream that is not valid UTF-8 cannot come back whole (a cast holds
text): its cast is only checked to be valid; nor can a plain stream's
line of over 128 KiB, which is cut into events.
"""
import fcntl
import json
import os
import pty
import shutil
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time

DATA = os.path.abspath(sys.argv[1])
VORSK = os.path.abspath(sys.argv[2])
failures = 0
IN_STREAM = ("# Window size:", "# Marker:")
HEADER = ("# Terminal size:", "# Terminal type:", "# Shell:", "# Command:", "# Title:",
          "# Idle time limit:")


def fail(message):
    global failures
    failures += 1
    print("FAIL: " + message, file=sys.stderr)


def vorsk(*args):
    return subprocess.run([VORSK, *args], stdin=subprocess.DEVNULL, capture_output=True)


def kept(account, version):
    """The lines a cast carries."""
    carried = IN_STREAM + (("# Exit status:",) if version == 3 else ())
    lines = []
    for line in account.decode("utf-8", "replace").split("\n"):
        if line.startswith("@ 0.000000"):
            continue
        if line.startswith("# ") and not line.startswith(carried):
            continue
        lines.append(line)
    return lines


def facts(account):
    return {line for line in account.decode("utf-8", "replace").split("\n")
            if line.startswith(HEADER)}


def check_cast(path, label):
    """Every line JSON in valid UTF-8: a header object, then events."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        lines = data.decode("utf-8").split("\n")
    except UnicodeDecodeError as e:
        fail(f"{label}: the cast is not valid UTF-8: {e}")
        return []
    if lines[-1] != "":
        fail(f"{label}: the cast does not end with a newline")
    events = []
    for number, line in enumerate(lines[:-1], 1):
        try:
            value = json.loads(line)
        except ValueError as e:
            fail(f"{label}: line {number} of the cast is not JSON: {e}: {line[:80]!r}")
            continue
        if number == 1:
            if not isinstance(value, dict) or value.get("version") not in (2, 3):
                fail(f"{label}: no header: {line[:80]!r}")
        else:
            events.append(value)
    return events


def utf8_streams(args):
    """Whether the streams among args are valid UTF-8: a cast holds text,
    so only those come back byte for byte."""
    for arg in args:
        if arg.endswith((".typescript", ".log", ".txt")):
            with open(arg, "rb") as f:
                try:
                    f.read().decode("utf-8")
                except UnicodeDecodeError:
                    return False
    return True


def round_trip(label, args, version, extended, same_facts=True):
    with tempfile.TemporaryDirectory() as tmp:
        cast = os.path.join(tmp, "x.cast")
        x = ["-X"] if extended else []
        a = vorsk(*x, f"--cast-version={version}", f"--record={cast}", *args)
        b = vorsk(*x, cast)
        label = f"{label} ({' '.join(x)} v{version})"
        check_cast(cast, label)
        if b.returncode != 0:
            fail(f"{label}: the cast read back fails: {b.stderr.decode()}")
        left, right = kept(a.stdout, version), kept(b.stdout, version)
        if left != right and utf8_streams(args):
            for i, (l, r) in enumerate(zip(left + [""] * len(right), right + [""] * len(left))):
                if l != r:
                    fail(f"{label}: line {i + 1} differs: {l!r} read back as {r!r}")
                    break
        if same_facts and not facts(a.stdout) <= facts(b.stdout):
            fail(f"{label}: facts lost: {facts(a.stdout) - facts(b.stdout)}")


def recordings():
    rec = os.path.join(DATA, "recordings")
    corpus = os.path.join(DATA, "corpus", "typescripts")
    yield "bash.cast", [os.path.join(rec, "bash.cast")]
    yield "answers.cast", [os.path.join(rec, "answers.cast")]
    yield "alt-keys.cast", [os.path.join(rec, "alt-keys.cast")]
    yield "v1.cast.gz", [os.path.join(rec, "v1.cast.gz")]
    yield "v1-cut.cast.gz", [os.path.join(rec, "v1-cut.cast.gz")]
    yield "hello.ttyrec", [os.path.join(rec, "hello.ttyrec")]
    yield "sudo", [os.path.join(rec, "sudo")]
    for timing in ("bash-io.timing", "bash-io-crlf.timing", "bash-io-cut.timing"):
        yield timing, ["-t", os.path.join(rec, timing), os.path.join(rec, "bash-io.log")]
    yield "bash-inout.timing", ["-t", os.path.join(rec, "bash-inout.timing"),
                                f"--input-log={os.path.join(rec, 'bash-in.log')}",
                                os.path.join(rec, "bash-out.log")]
    for name in sorted(os.listdir(corpus)):
        if name.endswith(".typescript"):
            base = os.path.join(corpus, name[:-len(".typescript")])
            yield name, ["-t", base + ".timing", base + ".typescript"]
    yield "utf8-scripts.txt", [os.path.join(DATA, "corpus", "nasty", "utf8-scripts.txt")]


def invalid_utf8():
    """Streams that are not UTF-8 still make casts of valid JSON, and a
    character split across two events is not lost."""
    nasty = os.path.join(DATA, "corpus", "nasty")
    for name in sorted(os.listdir(nasty)):
        with tempfile.TemporaryDirectory() as tmp:
            cast = os.path.join(tmp, "x.cast")
            vorsk(f"--record={cast}", os.path.join(nasty, name))
            check_cast(cast, name)


def run_under_pty(args, keys=b"", wait=10.0, kill_after=None):
    """vorsk on a new pseudo-terminal; what it wrote there."""
    pid, master = pty.fork()
    if pid == 0:
        os.execv(VORSK, [VORSK, *args])
    seen = b""
    deadline = time.monotonic() + wait
    sent = False
    started = time.monotonic()
    while time.monotonic() < deadline:
        if not sent and keys and time.monotonic() - started > 1.0:
            os.write(master, keys)
            sent = True
        if kill_after is not None and time.monotonic() - started > kill_after:
            os.kill(pid, signal.SIGKILL)
            kill_after = None
        ready, _, _ = select.select([master], [], [], 0.05)
        if ready:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
    _, status = os.waitpid(pid, 0)
    os.close(master)
    return seen, status


def command():
    """-c: the session recorded as it goes, read back the same."""
    with tempfile.TemporaryDirectory() as tmp:
        cast = os.path.join(tmp, "s.cast")
        account = os.path.join(tmp, "account")
        script = ("printf 'hi \\033[1mbold\\033[m\\n'; read line; echo \"got $line\"; "
                  "exit 3")
        _, status = run_under_pty(["-X", "--cast-version=3", f"--record={cast}", "-c", script,
                                   account], keys=b"abc\r")
        if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 3:
            fail(f"-c: exit status {status}, not 3")
        events = check_cast(cast, "-c")
        if "abc\r" not in "".join(e[2] for e in events if e[1] == "i"):
            fail(f"-c: the typed keys are not in the cast: {events!r}")
        if not events or events[-1][1:] != ["x", "3"]:
            fail(f"-c: the last event is not the exit status: {events[-1:]!r}")
        with open(account, "rb") as f:
            a = f.read()
        b = vorsk("-X", cast).stdout
        if kept(a, 3) != kept(b, 3):
            fail(f"-c: the cast reads back otherwise:\n{a.decode()}\n---\n{b.decode()}")

        # é written in two pieces, a pause between: one character in the cast.
        run_under_pty([f"--record={cast}", "-c", "printf 'hi \\303'; sleep 0.3; printf '\\251!'",
                       account])
        events = check_cast(cast, "-c split")
        output = "".join(e[2] for e in events if e[1] == "o")
        if output != "hi \u00e9!" or len(events) < 2:
            fail(f"-c split: the character is not whole in the cast: {events!r}")

        # Cut off by SIGKILL in the middle: what was recorded is whole lines.
        cast = os.path.join(tmp, "k.cast")
        run_under_pty(["--record=" + cast, "-c", "echo one; sleep 0.5; echo two; sleep 30",
                       account], wait=5.0, kill_after=1.5)
        events = check_cast(cast, "-c killed")
        if "two" not in "".join(e[2] for e in events):
            fail(f"-c killed: what came before the end is not in the cast: {events!r}")


def player():
    """asciinema cat, on a pseudo-terminal of its own as it wants, gives
    back the output of the casts written of the typescripts."""
    corpus = os.path.join(DATA, "corpus", "typescripts")
    checked = 0
    for name in sorted(os.listdir(corpus)):
        if not name.endswith(".typescript"):
            continue
        base = os.path.join(corpus, name[:-len(".typescript")])
        with open(base + ".typescript", "rb") as f:
            stream = f.read()
        if not utf8_streams([base + ".typescript"]):
            continue
        with tempfile.TemporaryDirectory() as tmp:
            cast = os.path.join(tmp, "x.cast")
            vorsk(f"--record={cast}", "-t", base + ".timing", base + ".typescript")
            master, slave = os.openpty()

            def child_setup():
                os.setsid()
                fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

            played = subprocess.run(["asciinema", "cat", cast], stdin=slave,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    preexec_fn=child_setup, pass_fds=(slave,), timeout=60)
            os.close(master)
            os.close(slave)
            if played.returncode != 0 or played.stdout != stream:
                fail(f"asciinema cat of the cast of {name}: status {played.returncode}, "
                     f"{len(played.stdout)} bytes for {len(stream)}: {played.stderr[-300:]!r}")
            checked += 1
    print(f"asciinema cat: {checked} casts read back")


if "--player" in sys.argv[3:]:
    if shutil.which("asciinema") is None:
        print("SKIP: asciinema is not installed (Debian: asciinema); the casts are not played")
        sys.exit(77)
    player()
    sys.exit(1 if failures else 0)

for label, args in recordings():
    for version in (2, 3):
        for extended in (True, False):
            round_trip(label, args, version, extended)
invalid_utf8()
command()
if failures:
    sys.exit(1)
print("record: all passed")
