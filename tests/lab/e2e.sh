#!/usr/bin/env bash
# End to end: Nimbrel on the lab's server adapter while a real smbclient works,
# with SMB2 and SMB3 and with TCP timestamps on (32-byte TCP headers) and off
# (20-byte headers). Checks what Nimbrel saw: the SMB2 frames in both
# directions and the rows of the access log.
#   NIMBREL=path   the program to run (default: build-asan/capture/Nimbrel)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
LAB=$top/tests/lab/lab.sh
# shellcheck source=tests/lab/nimbrel.sh
. "$top/tests/lab/nimbrel.sh"
nimbrel=${NIMBREL:-$top/build-asan/capture/Nimbrel}
replay=${REPLAY:-$(dirname "$nimbrel")/../tools/nimbrel-replay}
[ -x "$nimbrel" ] || { echo "e2e: no program at $nimbrel (build first)" >&2; exit 1; }

rc=0
"$LAB" check >/dev/null 2>&1 || rc=$?
if [ "$rc" = 77 ]; then
  echo "SKIP: cannot create network namespaces"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-e2e.XXXXXX")
nimbrel_pid=""
cleanup() {
  if [ "${KEEP_E2E:-0}" = 1 ]; then echo "e2e: kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

cleanup_case() {
  nimbrel_stop
  [ -n "${LAB_STATE:-}" ] && "$LAB" down >/dev/null 2>&1
  return 0
}
failed=$work/failed
fail() {
  echo "  FAIL: $*"
  echo "$*" >>"$failed"
}
has() {  # has FILE TEXT: the file holds the text (fixed string)
  grep -qF -- "$2" "$1"
}

run_case() {
  trap 'cleanup_case' EXIT
  local proto=$1 timestamps=$2
  local name="$proto-ts-$timestamps"
  local dir=$work/$name
  echo "== $name"
  local up_args=()
  [ "$timestamps" = off ] && up_args=(--no-timestamps)
  LAB_STATE=$("$LAB" up "${up_args[@]}")
  export LAB_STATE
  # shellcheck disable=SC1090
  . "$LAB_STATE"
  if ! nimbrel_prepare "$dir" "$nimbrel" DBGmode=5 PrintMode=1; then
    fail "cannot prepare Nimbrel"
    return
  fi
  nimbrel_start "$dir" || fail "Nimbrel did not start listening"

  # Three seconds between the steps, so that each leaves its own file times.
  LAB_STEP_PAUSE=3 "$LAB" scenario --proto "$proto" --snapshot "$dir/sessions.json" \
    --record "$dir/capture.pcap" >"$dir/scenario.txt" 2>&1 ||
    fail "the scenario failed (see $dir/scenario.txt)"
  sleep 1  # the last responses
  nimbrel_stop
  "$LAB" down >/dev/null
  unset LAB_STATE

  local log=$dir/Nimbrel.log dbg=$dir/NimbrelDBG.log
  has "$dbg" "==== SMB Packet Recv ====" || fail "no request traced"
  has "$dbg" "==== SMB Packet Send ====" || fail "no response traced"
  has "$dbg" "SMB CMD:SMB2_TREE_CONNECT" || fail "no TREE_CONNECT response traced"
  local tree
  tree=$(python3 -c 'import json,sys
j=json.load(open(sys.argv[1]))
print(next(t["tcon_id"] for t in j["tcons"].values() if t["service"]=="data"))' "$dir/sessions.json" 2>/dev/null || echo "?")
  # Columns: 2 action, 5 tree id, 6-9 addresses and ports, 11 user, 15 share path.
  rows() { tr -d '\r' <"$log" | tail -n +2 | awk -F, "$1"; }
  [ -n "$(rows '$2=="Connect" && $11=="labuser" && $15=="\\\\10.99.0.1\\data\\"')" ] ||
    fail "no Connect row of labuser for \\\\10.99.0.1\\data\\"
  [ -n "$(rows '$2=="Access" && $5=="'"$tree"'" && $6=="10.99.0.1" && $7=="445" && $8=="10.99.0.2" && $11=="labuser"')" ] ||
    fail "no Access row with the server's tree id $tree and the user labuser"
  [ -n "$(rows '$2=="DisConnect" && $11=="labuser"')" ] || fail "no DisConnect row"
  if grep -q "IPC" "$log"; then fail "a row for IPC\$"; fi
  # Every file row of the data share, in order: its status and its path, under
  # the share's local folder (where the open-file list gave it) or the share
  # as the client named it.
  local got
  got=$(tr -d '\r' <"$log" | tail -n +2 | awk -F, -v share="$LAB_DIR/share-data/" -v unc='\\\\10.99.0.1\\data\\' '
    $2 == "Access" && $14 != "" || $15 == "Delete" || $15 == "Rename" {
      path = $16
      if (index(path, share) == 1) path = substr(path, length(share) + 1)
      else if (index(path, unc) == 1) path = substr(path, length(unc) + 1)
      else next
      printf "%s %s|", $15, path
    }')
  local want="New report.txt|Write report.txt|View report.txt|Write report.txt|View report.txt|Delete report.txt|Rename report.txt >> report-renamed.txt|Delete report-renamed.txt|View newdir|Delete newdir|"
  [ "$got" = "$want" ] || fail "file rows: got '$got', want '$want'"

  # The same traffic replayed gives the same rows for the session the snapshot
  # holds, apart from what depends on the disk at the time (columns 13-16) and
  # the microseconds (tcpdump's capture handle stamps frames on its own).
  if [ -x "$replay" ]; then
    mkdir -p "$dir/replay"
    "$replay" --out "$dir/replay" --sessions "$dir/sessions.json" "$dir/capture.pcap" \
      >"$dir/replay/console.txt" 2>&1 || fail "nimbrel-replay failed"
    local port
    port=$(tr -d '\r' <"$log" | awk -F, '$2 == "Connect" { print $9; exit }')
    local live replayed
    live=$(tr -d '\r' <"$log" | awk -F, -v p="$port" '$9 == p' | cut -d, -f1-12 | sed 's/\.[0-9]*,/,/')
    replayed=$(tr -d '\r' <"$dir/replay/Nimbrel.log" | awk -F, -v p="$port" '$9 == p' |
      cut -d, -f1-12 | sed 's/\.[0-9]*,/,/')
    [ -n "$live" ] && [ "$live" = "$replayed" ] || fail "replayed rows differ from the live ones"
  fi
  grep -q "ERROR: AddressSanitizer\|runtime error:" "$dir/console.txt" && fail "sanitizer report"
  echo "   rows: $(($(wc -l <"$log") - 1)) ($(cut -d, -f2 "$log" | tail -n +2 | sort | uniq -c | tr -s ' ' | tr '\n' ' '))"
}

# E2E_CASES narrows the run, e.g. "SMB3-ts-off".
for proto in SMB2 SMB3; do
  for ts in on off; do
    # A subshell per case: the lab's variables of one case never leak into the next.
    case " ${E2E_CASES:-$proto-ts-$ts} " in
      *" $proto-ts-$ts "*) (run_case "$proto" "$ts") || fail "$proto-ts-$ts ended early" ;;
    esac
  done
done
if [ -s "$failed" ]; then
  KEEP_E2E=1
  echo "e2e: $(wc -l <"$failed") failure(s)"
  exit 1
fi
echo "e2e: all cases passed"
