#!/bin/sh
# Runs scenario_inspect --watch --serve on descriptions in WORK and follows
# its page in headless Chromium while the descriptions are edited
# (watch_test.js).
#   watch_test.sh built-in BUILDER INSPECT WORK
#   watch_test.sh maximal BUILDER INSPECT WORK WRITE_MAXIMAL_SCENARIO
# Exits 77, a skip for ctest, when node, the browser or puppeteer-core is
# missing (.ci/browser installs them).
set -eu
variant=$1 builder=$2 inspect=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
command -v node >/dev/null 2>&1 || { echo "SKIPPED: node is not installed"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
if [ "$variant" = maximal ]; then
  "$5" "$work"
  line="$work/maximal_linea.txt" train="$work/maximal_treno.txt" station="STAZIONE 03"
else
  "$builder" --export --dir "$work" 2>/dev/null
  line="$work/Sarvena_Lucredo_linea.txt" train="$work/Sarvena_Lucredo_20573-2-.txt" station=PRATO
fi
exec node "$here/watch_test.js" "$builder" "$inspect" "$work/out" "$line" "$train" "$station"
