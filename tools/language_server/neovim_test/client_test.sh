#!/bin/sh
# Neovim's LSP client against --check: an export with planted mistakes (a
# Windows-1252 name before a mistake on its line among them), opened in
# headless Neovim as Windows-1252; the diagnostics it shows must be the
# problems --check lists, at the same lines and columns, with the same
# messages, and a hover on a station's position must name its km.
# Usage: client_test.sh BUILDER SERVER WORK
set -eu
builder=$1 server=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v nvim >/dev/null || { echo "nvim is missing (.ci/language-server installs it)"; exit 77; }
rm -rf "$work" && mkdir -p "$work"
"$builder" --export --dir "$work" >/dev/null
line=$work/Sarvena_Lucredo_linea.txt
train=$work/Sarvena_Lucredo_20573-2-.txt
# Line: a misspelt key, a value that is no number. Train: a signal onto the
# first one's cell, a misspelt key, a name in Windows-1252 with a second
# value after it, an off-grid signal.
sed -i 's/^curvas5,  17800/curves5,  17800/; s/^pendenza,  6500,/pendenza,  6500x,/' "$line"
sed -i 's/^segnale,    2000,/segnale,    1060,/; s/^stazione,    2600,/stazoine,    2600,/' "$train"
sed -i 's/0, VAIANO\r$/0, VAI\xc8NO, 3\r/; s/^segnale,    3050,/segnale,    3070,/' "$train"

"$builder" --check --line "$line" --train "$train" 2>"$work/check.txt" || true
for description in "$line" "$train"; do
  name=$(basename "$description")
  # "scenario_builder: PATH:LINE:COL: KIND: MESSAGE" as "LINE:COL: KIND: MESSAGE",
  # the message in UTF-8 as the editor shows it.
  grep -F "scenario_builder: $description:" "$work/check.txt" |
    sed "s|^scenario_builder: $description:||" | iconv -f utf-8 -t utf-8 -c |
    LC_ALL=C sort >"$work/$name.expected"
  SERVER=$server FILE=$description OUT=$work/$name.nvim HOVER_LINE=47 HOVER_COLUMN=15 \
    timeout 60 nvim --headless --clean -c "luafile $here/client.lua" 2>"$work/$name.log" ||
    { cat "$work/$name.log"; echo "neovim failed on $name"; exit 1; }
  LC_ALL=C sort -o "$work/$name.nvim" "$work/$name.nvim"
  if ! diff -u "$work/$name.expected" "$work/$name.nvim"; then
    echo "neovim's diagnostics of $name differ from --check's"
    exit 1
  fi
  echo "$name: $(wc -l <"$work/$name.nvim") diagnostics in Neovim, as --check lists them"
done
grep -q 'km 16.35' "$work/$(basename "$train").nvim.hover" ||
  { cat "$work/$(basename "$train").nvim.hover"; echo "the hover names no km"; exit 1; }
echo "hover: $(head -n 1 "$work/$(basename "$train").nvim.hover")"
