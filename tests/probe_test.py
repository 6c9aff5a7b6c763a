#!/usr/bin/env python3
"""--probe on a pseudo-terminal: a helper plays the terminal (answers some
queries, ignores others, answers late or with garbage), and once a real
one, tmux.

    probe_test.py VORSK
"""
import fcntl
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time

VORSK = os.path.abspath(sys.argv[1])
failures = 0


def fail(message):
    global failures
    failures += 1
    print("FAIL: " + message, file=sys.stderr)


def start(args=("--probe",), env=None):
    """vorsk with the pseudo-terminal as its controlling terminal, its
    output in a pipe: it probes /dev/tty."""
    master, slave = os.openpty()

    def child_setup():
        os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

    before = termios.tcgetattr(slave)
    process = subprocess.Popen([VORSK, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, preexec_fn=child_setup, pass_fds=(slave,),
                               env=env)
    return process, master, slave, before


def play(master, answer, until_da1=True, limit=5.0):
    """Reads the queries from the master and answers each as answer(query)
    says (bytes, or None to ignore it); returns what was read."""
    seen = b""
    pending = b""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.05)
        if not ready:
            continue
        try:
            chunk = os.read(master, 65536)
        except OSError:
            break
        seen += chunk
        pending += chunk
        # Each query ends at a final byte or a string terminator.
        while True:
            m = re.match(rb"(\r[^\x1b]*)?(\x1b\[[\x30-\x3f]*[\x20-\x2f]*[\x40-\x7e]|"
                         rb"\x1b[P\]_].*?(\x1b\\|\x07))", pending, re.S)
            if not m:
                break
            query = m.group(2)
            pending = pending[m.end():]
            reply = answer(query)
            if reply:
                os.write(master, reply)
            if until_da1 and query == b"\x1b[c":
                return seen
    return seen


def finish(process, master, slave, before):
    out, err = process.communicate(timeout=10)
    after = termios.tcgetattr(slave)
    os.close(master)
    os.close(slave)
    return process.returncode, out.decode(errors="replace"), err.decode(errors="replace"), \
        before == after


# A terminal that answers DA1, XTVERSION, DECRQM of 2026, OSC 11, the
# cursor position reports (one column for the emoji), and nothing else.
def some_answers(query):
    if query == b"\x1b[c":
        return b"\x1b[?62;4;22c"
    if query == b"\x1b[>0q":
        return b"\x1bP>|PlayTerm 1.0\x1b\\"
    if query == b"\x1b[?2026$p":
        return b"\x1b[?2026;2$y"
    if query == b"\x1b[?1049$p":
        return b"\x1b[?1049;0$y"
    if query == b"\x1b]11;?\x1b\\":
        return b"\x1b]11;rgb:0000/0000/0000\x1b\\"
    if query == b"\x1b[6n":
        some_answers.reports += 1
        return b"\x1b[5;3R" if some_answers.reports == 1 else b"\x1b[5;2R"
    return None


some_answers.reports = 0
process, master, slave, before = start()
play(master, some_answers)
status, out, err, restored = finish(process, master, slave, before)
if status != 0:
    fail(f"a terminal that answers: status {status}, {err!r}")
for expected in ["> : Esc P >|PlayTerm 1.0 Esc \\",
                 "> \" (DEC) Report that private mode 2026 (synchronized output) is reset.",
                 "> & DA1: PRIMARY DEVICE ATTRIBUTES",
                 "  name: PlayTerm 1.0",
                 "  mode ?2026 synchronized output: reset",
                 "  mode ?1049 ",
                 ": not recognised",
                 "  background is dark",
                 "  graphics: sixel yes, kitty's no",
                 "  width of U+6F22: 2 columns, as Unicode's 2",
                 "  width of U+1F600: 1 columns, not Unicode's 2",
                 "  capability RGB: not answered"]:
    if expected not in out:
        fail(f"the probe's output lacks {expected!r}:\n{out}")
if not restored:
    fail("the terminal's settings differ after the probe")

# The same as JSON: the report alone.
some_answers.reports = 0
process, master, slave, before = start(("--probe", "--summary=json"))
play(master, some_answers)
status, out, err, restored = finish(process, master, slave, before)
try:
    report = json.loads(out)
    if (report["version"] != "PlayTerm 1.0" or report["modes"].get("2026") != "reset"
            or report["dark_background"] is not True or report["emoji_width"] != 1
            or report["sixel"] is not True):
        fail(f"the JSON report says otherwise: {report}")
except (ValueError, KeyError) as error:
    fail(f"the JSON report does not read: {error}: {out!r}")

# Late and garbage: the answers come after 0.8 s, with bytes that are no
# answer before DA1's.
def late(query):
    if query == b"\x1b[c":
        time.sleep(0.8)
        return b"garbage\x1b[?\x1b[?1;2c"
    return None


process, master, slave, before = start()
play(master, late)
status, out, err, restored = finish(process, master, slave, before)
if status != 0 or "|garbage|" not in out or "DA1: 1;2" not in out:
    fail(f"a late answer with garbage: status {status}:\n{out}{err}")

# Nothing answers: the probe ends within two seconds, with a message.
process, master, slave, before = start()
began = time.monotonic()
play(master, lambda query: None, until_da1=False, limit=1.0)
status, out, err, restored = finish(process, master, slave, before)
took = time.monotonic() - began
if status != 1 or "did not answer" not in err or took > 2.5:
    fail(f"a silent terminal: status {status} after {took:.1f} s: {err!r}")
if not restored:
    fail("the terminal's settings differ after a silent probe")

# A signal in the middle: the settings are put back, and the signal ends it.
for sig in (signal.SIGTERM, signal.SIGINT):
    process, master, slave, before = start()
    time.sleep(0.3)
    raw = termios.tcgetattr(slave)
    if raw == before:
        fail("the terminal is not in raw mode during the probe")
    process.send_signal(sig)
    status, out, err, restored = finish(process, master, slave, before)
    if status != -sig or not restored:
        fail(f"signal {sig}: status {status}, settings restored: {restored}")

# No terminal at all: an error, status 1.
process = subprocess.run([VORSK, "--probe"], stdin=subprocess.DEVNULL, capture_output=True,
                         start_new_session=True)
if process.returncode != 1 or b"no terminal" not in process.stderr:
    fail(f"no terminal: status {process.returncode}, {process.stderr!r}")

# tmux, a real terminal that answers these queries: the multiplexer is named.
if shutil.which("tmux"):
    with tempfile.TemporaryDirectory() as folder:
        out_path = os.path.join(folder, "out")
        socket = os.path.join(folder, "socket")
        subprocess.run(["tmux", "-S", socket, "-f", "/dev/null", "new-session", "-d", "-x", "100",
                        "-y", "30", f"{VORSK} --probe > {out_path} 2>&1; echo status=$? >> {out_path}"],
                       check=True, env={**os.environ, "TMUX": ""})
        for _ in range(100):
            if os.path.exists(out_path) and "status=" in open(out_path).read():
                break
            time.sleep(0.1)
        subprocess.run(["tmux", "-S", socket, "kill-server"], capture_output=True)
        out = open(out_path).read() if os.path.exists(out_path) else ""
        for expected in ["tmux answered: these are its answers, not those of the terminal around it",
                         "  name: tmux ", "> & DA1: PRIMARY DEVICE ATTRIBUTES", "status=0"]:
            if expected not in out:
                fail(f"under tmux the output lacks {expected!r}:\n{out}")
else:
    fail("tmux is not installed (tools/install-deps.sh check installs it)")

print(f"probe: {failures} failures")
sys.exit(1 if failures else 0)
