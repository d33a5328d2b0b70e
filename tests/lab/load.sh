#!/usr/bin/env bash
# Load on the lab: Nimbrel on the server's adapter while one smbclient session
# sends a long run of small requests. Prints the SMB2 frames per second the
# client produced and what Nimbrel counted, including the frames the capture
# library dropped. Not part of the test command; see docs/performance.md.
#   NIMBREL=path (default build/capture/Nimbrel)   COMMANDS=n (default 3000)
#   PACE=n: a 10 ms pause after every n commands, to hold the rate down (0: none)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
LAB=$top/tests/lab/lab.sh
# shellcheck source=tests/lab/nimbrel.sh
. "$top/tests/lab/nimbrel.sh"
nimbrel=${NIMBREL:-$top/build/capture/Nimbrel}
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-load.XXXXXX")
nimbrel_pid=""
trap 'nimbrel_stop; [ -n "${LAB_STATE:-}" ] && "$LAB" down >/dev/null 2>&1; rm -rf "$work"' EXIT

LAB_STATE=$("$LAB" up 2>/dev/null)
export LAB_STATE
# shellcheck disable=SC1090
. "$LAB_STATE"
nimbrel_prepare "$work" "$nimbrel" PrintMode=0 DBGmode=0
nimbrel_start "$work"
commands=${COMMANDS:-3000}
# Each "allinfo" is a CREATE, QUERY_INFOs and a CLOSE: six or more SMB2 frames.
"$LAB" exec-client bash -c "echo hello > /tmp/load-\$\$.txt; \
  { echo 'put /tmp/load-'\$\$'.txt f.txt'; for i in \$(seq $commands); do echo 'allinfo f.txt'; \
  if [ ${PACE:-0} -gt 0 ] && [ \$((i % ${PACE:-1})) -eq 0 ]; then echo '!sleep 0.01'; fi; done; } \
  | smbclient -s \"\$LAB_CLIENT_CONF\" -m SMB3 -A \"\$LAB_AUTH_FILE\" //$LAB_SERVER_ADDR/data \
  >/dev/null 2>&1; rm -f /tmp/load-\$\$.txt" &
client=$!
start=$(date +%s.%N)
wait "$client"
end=$(date +%s.%N)
sleep 2
nimbrel_stop
seconds=$(echo "$end - $start" | bc)
counts=$(grep "INFO : frames" "$work/console.txt" || echo "no counts")
smb2=$(echo "$counts" | sed -n 's/.*SMB2 \([0-9]*\).*/\1/p')
rows=$(($(wc -l <"$work/Nimbrel.log") - 1))
echo "client ran ${seconds}s; $counts"
[ -n "$smb2" ] && echo "SMB2 frames per second: $(echo "$smb2 / $seconds" | bc)"
echo "access rows: $rows"
