#!/usr/bin/env bash
# sdx-debugview end to end: it replaces a stale socket, prints both kinds of record, refuses a
# second viewer, and removes its socket on SIGTERM.
set -euo pipefail
viewer=$1
scratch=$(mktemp -d "$2/debugview-XXXXXX")
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
sock=$scratch/sdx-debugview.sock

python3 - "$sock" <<'PY'
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])  # left behind, as by a viewer that was killed
PY

"$viewer" --config-dir "$scratch" >"$scratch/out" 2>"$scratch/err" &
pid=$!
for _ in $(seq 300); do grep -q listening "$scratch/err" 2>/dev/null && break; sleep 0.1; done
grep -q "listening on $sock" "$scratch/err"

if "$viewer" --config-dir "$scratch" 2>"$scratch/err2"; then exit 1; fi
grep -q "another viewer" "$scratch/err2"

python3 - "$sock" <<'PY'
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.sendto(b"W12/11/26 0905\r\nError opening menu.html\r\n" + b"*" * 41 + b"\r\n", sys.argv[1])
s.sendto(b"Dfilter trace", sys.argv[1])
PY
for _ in $(seq 300); do grep -q "filter trace" "$scratch/out" && break; sleep 0.1; done
grep -q "^Error opening menu.html" "$scratch/out"
grep -q "^\[debugger\] filter trace$" "$scratch/out"

kill -TERM "$pid"
wait "$pid"
test ! -e "$sock"
"$viewer" --help | grep -q -- "--config-dir"
echo "sdx-debugview: ok"
