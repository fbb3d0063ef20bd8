#!/bin/sh
# The Windows server under Wine against the native one: the same editor
# session on standard input (a train description with planted mistakes and
# a Windows-1252 name, a hover, formatting, a frame that is no JSON,
# shutdown) must give the same bytes on standard output, CR LF framing
# included.
# Usage: windows_test.sh NATIVE_SERVER WINDOWS_SERVER.exe WINE WORK
set -eu
native=$1 windows=$2 wine=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
python3 - "$work/session" <<'PY'
import json, sys
train = ("[generale]\r\nnumero vetture,    8\r\n[stazioni]\r\n"
         "stazione,    2600, 12,  400,  1, 0, 0,  4,1,1,  2,1,1,   30,  22, 0, 0, SANT'ANDR\u00c8\r\n"
         "[segnali]\r\nsegnale,1050,2,5,1,0,0,0,0,0,0,0\r\nsegnale,    1060,   2, 3, 4,  0, 0,    1,  1,0,0, 0\r\n"
         "segnlae, 4000\r\n[fine]\r\n")
uri = "file:///nowhere/Sarvena_Lucredo_20573-2-.txt"
messages = [
    {"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {}}},
    {"jsonrpc": "2.0", "method": "initialized", "params": {}},
    {"jsonrpc": "2.0", "method": "textDocument/didOpen",
     "params": {"textDocument": {"uri": uri, "languageId": "", "version": 1, "text": train}}},
    {"jsonrpc": "2.0", "id": 2, "method": "textDocument/hover",
     "params": {"textDocument": {"uri": uri}, "position": {"line": 3, "character": 20}}},
    {"jsonrpc": "2.0", "id": 3, "method": "textDocument/formatting",
     "params": {"textDocument": {"uri": uri}, "options": {}}},
    "{ no json",
    {"jsonrpc": "2.0", "id": 4, "method": "shutdown"},
    {"jsonrpc": "2.0", "method": "exit"},
]
with open(sys.argv[1], "wb") as out:
    for m in messages:
        body = (m if isinstance(m, str) else json.dumps(m)).encode("utf-8")
        out.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
PY
"$native" <"$work/session" >"$work/native.out" 2>"$work/native.err"
WINEDEBUG=-all timeout 120 "$wine" "$windows" <"$work/session" >"$work/windows.out" 2>"$work/windows.err"
cmp "$work/native.out" "$work/windows.out"
grep -c '"textDocument/publishDiagnostics"' "$work/native.out" >/dev/null
echo "scenario_language_server.exe under Wine answers byte for byte as the native server ($(wc -c <"$work/native.out") bytes)"
