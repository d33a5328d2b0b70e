#!/usr/bin/env bash
# The main job, shown end to end on this machine: installs, builds, brings up a
# private Samba server and a client in network namespaces, runs Nimbrel on the
# server's adapter while the client works, shows the access log, tears down.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/tools/deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target Nimbrel nimbrel-replay

LAB=$top/tests/lab/lab.sh
# shellcheck source=tests/lab/nimbrel.sh
. "$top/tests/lab/nimbrel.sh"
run=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-demo.XXXXXX")
nimbrel_pid=""
finish() {
  nimbrel_stop
  [ -n "${LAB_STATE:-}" ] && "$LAB" down >/dev/null 2>&1
  echo "== everything Nimbrel wrote is in $run"
}
trap finish EXIT

LAB_STATE=$("$LAB" up)
export LAB_STATE
# shellcheck disable=SC1090
. "$LAB_STATE"
nimbrel_prepare "$run" build/capture/Nimbrel PrintMode=1 ${DEMO_SETTINGS:-}
nimbrel_start "$run"
echo "== Nimbrel listens on $LAB_SERVER_IF ($LAB_SERVER_ADDR); the client works"
# Two seconds between the client's steps: each leaves its own file times, and
# the session lives long enough to show in Samba's session list (see
# docs/decisions.md on sessions shorter than that).
LAB_STEP_PAUSE=2 "$LAB" scenario --proto SMB3 >"$run/client.txt" 2>&1
sleep 1
nimbrel_stop
echo "== console"
sed -n '/listening on/,$p' "$run/console.txt"
echo "== access log $run/Nimbrel.log (code page 932, CRLF)"
tr -d '\r' <"$run/Nimbrel.log"
