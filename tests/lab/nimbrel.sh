# Running Nimbrel on the lab's server adapter; sourced by e2e.sh and tools/demo.sh.
# Needs LAB (path of lab.sh) and a lab that is up, with its state sourced.

# nimbrel_prepare DIR PROGRAM [INI LINES...]: copies the program into DIR and
# writes its settings: auto-run on the server's veth, Samba from the lab.
nimbrel_prepare() {
  local dir=$1 program=$2
  shift 2
  mkdir -p "$dir"
  cp "$program" "$dir/Nimbrel"
  # The adapter's number: Nimbrel lists the adapters and ends at a number out of range.
  printf '[Option]\nAutoRun=1\nDeviceSetNo=0\n' >"$dir/Nimbrel.ini"
  (cd "$dir" && "$LAB" exec-server ./Nimbrel </dev/null >adapters.txt 2>&1) || true
  local number
  number=$(sed -n "s/^\([0-9][0-9]*\)\. $LAB_SERVER_IF\$/\1/p" "$dir/adapters.txt")
  rm -f "$dir"/Nimbrel*.log
  if [ -z "$number" ]; then
    echo "$LAB_SERVER_IF is not in Nimbrel's adapter list:" >&2
    cat "$dir/adapters.txt" >&2
    return 1
  fi
  {
    printf '[Option]\nAutoRun=1\nDeviceSetNo=%s\n' "$number"
    printf '%s\n' "$@"
    printf '\n[Samba]\nSmbConf=%s\n' "$LAB_SMB_CONF"
  } >"$dir/Nimbrel.ini"
}

# nimbrel_start DIR: starts Nimbrel in the server namespace, its console in
# DIR/console.txt, and waits until it listens. Sets nimbrel_pid.
nimbrel_start() {
  local dir=$1
  # shellcheck disable=SC2086
  (cd "$dir" && exec "$LAB" exec-server ${NIMBREL_WRAP:-} ./Nimbrel </dev/null >console.txt 2>&1) &
  nimbrel_pid=$!
  for _ in $(seq 100); do
    grep -q "listening on" "$dir/console.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "Nimbrel did not start listening:" >&2
  tail -n 20 "$dir/console.txt" >&2
  return 1
}

# nimbrel_stop: ends it as Ctrl+C would, and waits for it.
nimbrel_stop() {
  [ -n "${nimbrel_pid:-}" ] || return 0
  kill -TERM "$nimbrel_pid" 2>/dev/null || true
  wait "$nimbrel_pid" 2>/dev/null || true
  nimbrel_pid=""
}
