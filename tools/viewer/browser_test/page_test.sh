#!/bin/sh
# Builds a scenario, writes its page with scenario_inspect --html and opens
# it in headless Chromium (page_test.js).
#   page_test.sh built-in BUILDER INSPECT WORK
#   page_test.sh maximal BUILDER INSPECT WORK WRITE_MAXIMAL_SCENARIO
# Exits 77, a skip for ctest, when node, the browser or puppeteer-core is
# missing (.ci/browser installs them).
set -eu
variant=$1 builder=$2 inspect=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
command -v node >/dev/null 2>&1 || { echo "SKIPPED: node is not installed"; exit 77; }
rm -rf "$work"
mkdir -p "$work/out"
if [ "$variant" = maximal ]; then
  "$5" "$work"
  "$builder" --dir "$work/out" --line "$work/maximal_linea.txt" --train "$work/maximal_treno.txt" \
    >/dev/null
else
  "$builder" --dir "$work/out" >/dev/null
fi
"$inspect" --html "$work/page.html" --dir "$work/out"
exec node "$here/page_test.js" "$work/page.html" "$variant"
