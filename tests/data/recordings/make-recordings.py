#!/usr/bin/env python3
"""Records the sessions of this folder: bash run by util-linux script (advanced
timing, both directions in one log and in two) and by asciinema (a v2 cast with
input), each typed into on a pseudo-terminal of 80x24 that is resized to
100x30 half-way, and vim as the cast of examples/vim-edit.cast. The
recordings are checked in; this is how they were made:

    cd tests/data/recordings && python3 make-recordings.py
"""
import fcntl, os, pty, signal, struct, sys, termios, time

ENV = dict(PATH="/usr/bin:/bin", TERM="xterm-256color", HOME="/tmp", LANG="C.UTF-8",
           PS1="$ ", SHELL="/bin/bash")
BASH = "bash --norc --noprofile -i"
KEYS = [b"printf '\\033[1;32mgreen\\033[m\\n'\r", b"\x1b[A", b"\r", b"RESIZE",
        b"tput cols; tput lines\r", b"exit\r"]


def set_size(fd, rows, cols):
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))


def drain(fd, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            import select
            r, _, _ = select.select([fd], [], [], 0.05)
            if r:
                os.read(fd, 65536)
        except OSError:
            return


def record(argv, keys=KEYS):
    pid, fd = pty.fork()
    if pid == 0:
        os.execvpe(argv[0], argv, ENV)
    set_size(fd, 24, 80)
    os.kill(pid, signal.SIGWINCH)
    drain(fd, 1.0)
    for typed in keys:
        if typed == b"RESIZE":
            set_size(fd, 30, 100)
            os.kill(pid, signal.SIGWINCH)
        else:
            os.write(fd, typed)
        drain(fd, 0.4)
    drain(fd, 1.0)
    os.waitpid(pid, 0)


for name in ["bash-io.log", "bash-io.timing", "bash-in.log", "bash-out.log",
             "bash-inout.timing", "bash.cast"]:
    if os.path.exists(name):
        os.remove(name)
record(["script", "-q", "--log-io", "bash-io.log", "--log-timing", "bash-io.timing",
        "-c", BASH])
record(["script", "-q", "--log-in", "bash-in.log", "--log-out", "bash-out.log",
        "--log-timing", "bash-inout.timing", "-c", BASH])
record(["asciinema", "rec", "-q", "--stdin", "-c", BASH, "bash.cast"])

# The example of examples/: vim, typed into, as a v2 cast with input.
VIM_KEYS = [b"ihello, \x1b[200~pasted\x1b[201~ world", b"\x1b", b"RESIZE", b"0dw", b":q!\r"]
example = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../examples/vim-edit.cast")
if os.path.exists(example):
    os.remove(example)
record(["asciinema", "rec", "-q", "--stdin", "-c", "vim -u NONE -i NONE -N notes.txt", example],
       VIM_KEYS)
