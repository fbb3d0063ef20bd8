#!/bin/sh
# Regenerates docs/language_server_neovim.png: the export with two planted
# mistakes (a signal moved onto the first one's cell, one at 3070 m) in
# Neovim under tmux, with the server's diagnostics and a hover on PRATO's
# position; the terminal's text is drawn to a picture (needs nvim, tmux and
# rsvg-convert).
# Usage: screenshot.sh BUILDER SERVER OUTPUT.png
set -eu
builder=$1 server=$2 output=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
"$builder" --export --dir "$work" 2>/dev/null
train=$work/Sarvena_Lucredo_20573-2-.txt
sed -i 's/^segnale,    2000,/segnale,    1050,/; s/^segnale,    3050,/segnale,    3070,/' "$train"
sed -i 's/^stazione,    8800,  2,  400/stazione,    8800,  2,  450/' "$train"
tmux kill-session -t scenario_shot 2>/dev/null || true
tmux new-session -d -s scenario_shot -x 130 -y 36 \
  "env TERM=xterm-256color SERVER=$server FILE=$train nvim --clean -c 'luafile $here/screenshot.lua'"
sleep 4
tmux capture-pane -t scenario_shot -e -p >"$work/capture.txt"
tmux kill-session -t scenario_shot
python3 "$here/ansi_to_svg.py" "$work/capture.txt" "$work/capture.svg"
rsvg-convert "$work/capture.svg" -o "$output"
rm -rf "$work"
echo "wrote $output"
