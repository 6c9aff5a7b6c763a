#!/bin/sh
# Makes a case of tests/screen_test.py: the screen tmux shows for a stream.
#   tools/make-screen-case.sh NAME COLSxROWS < STREAM
# writes tests/data/screens/NAME.raw (the stream) and NAME.tmux: a line
# "size COLSxROWS cursor ROW COL ALTERNATE VISIBLE" (0-based, as tmux
# tells them), then tmux's capture of the pane. tmux runs on a server of
# its own, with the pane's program writing the stream raw (stty raw, so
# that the terminal changes nothing) and then waiting to be captured.
set -eu
name=$1
size=$2
cols=${size%x*}
rows=${size#*x}
here=$(cd "$(dirname "$0")/.." && pwd)/tests/data/screens
raw=$here/$name.raw
cat > "$raw"
socket=vorsk-screen-case-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null || true' EXIT
tmux -L "$socket" -f /dev/null new-session -d -x "$cols" -y "$rows" \
    "stty raw -echo; cat '$raw'; touch '$raw.done'; sleep 60"
while [ ! -e "$raw.done" ]; do sleep 0.1; done
sleep 0.3
rm -f "$raw.done"
{
    tmux -L "$socket" display -p \
        "size ${cols}x${rows} cursor #{cursor_y} #{cursor_x} #{alternate_on} #{cursor_flag}"
    tmux -L "$socket" capture-pane -p -N
} > "$here/$name.tmux"
