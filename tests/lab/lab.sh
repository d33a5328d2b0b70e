#!/bin/bash
# Nimbrel test lab: a private Samba server and an smbclient client in two
# network namespaces joined by a veth pair, so that tests can produce real
# SMB2/SMB3 traffic, capture it and compare with smbstatus.
#
# Usage: lab.sh [--state FILE] COMMAND [ARGS...]
#   up [--no-timestamps]          start a lab; prints the state file path on stdout
#   scenario [--proto SMB2|SMB3] [--share data] [--record FILE]
#            [--snapshot FILE] [--hold N]
#   hold N [--proto ..] [--share ..] [--record FILE] [--snapshot FILE]
#   exec-server CMD...            run CMD in the server namespace (sees smbd's mounts)
#   exec-client CMD...            run CMD in the client namespace
#   capture FILE CMD...           record port 445 on the server veth while CMD runs
#   status                        namespaces, smbd pid, smbstatus --json
#   down                          stop everything of the lab and remove it
#   check                         exit 0 if namespaces can be made here, 77 if not
#
# The state file is found from --state, else $LAB_STATE, else the only
# nimbrel-lab.* run in ${TMPDIR:-/tmp}. See docs/lab.md.
set -euo pipefail

LAB_HOME=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
LAB_SELF=$LAB_HOME/lab.sh
TMPBASE=${TMPDIR:-/tmp}

SERVER_ADDR=10.99.0.1
CLIENT_ADDR=10.99.0.2
PREFIX=24
LAB_USER_NAME=labuser
LAB_USER_UID=42001
LAB_USER_PASSWORD=Nimbrel-Lab-pw1
UP_TIMEOUT=10   # seconds to wait for smbd to listen
STOP_TIMEOUT=5  # seconds to wait for processes after SIGTERM

msg() { echo "lab: $*" >&2; }
die() {
    echo "lab: error: $*" >&2
    exit 1
}

# Last lines of the given log files that exist, for error messages.
log_tail() {
    local f
    for f in "$@"; do
        [ -s "$f" ] || continue
        echo "--- $f (last lines):"
        tail -n 8 "$f"
    done
}

need_root() { [ "$(id -u)" -eq 0 ] || die "must run as root (network namespaces, mounts)"; }

nss_wrapper_lib() {
    local f
    for f in /usr/lib/*/libnss_wrapper.so /usr/lib/libnss_wrapper.so /usr/lib64/libnss_wrapper.so; do
        [ -e "$f" ] && { echo "$f"; return 0; }
    done
    die "libnss_wrapper.so not found (install libnss-wrapper)"
}

# ---------------------------------------------------------------- state file

STATE=${LAB_STATE:-}

find_state() {
    if [ -n "$STATE" ]; then
        return 0
    fi
    local found=() f
    for f in "$TMPBASE"/nimbrel-lab.*/lab.env; do
        [ -e "$f" ] && found+=("$f")
    done
    case ${#found[@]} in
        1) STATE=${found[0]} ;;
        0) die "no lab state: run 'lab.sh up' first, then pass --state FILE or LAB_STATE=FILE" ;;
        *) die "several labs are running (${found[*]}): pass --state FILE or LAB_STATE=FILE" ;;
    esac
}

load_state() {
    find_state
    [ -r "$STATE" ] || die "state file $STATE not found (lab already down?)"
    # shellcheck disable=SC1090
    . "$STATE"
}

state_set() { # state_set KEY VALUE: add or replace one line in the state file
    local key=$1 val=$2
    case $val in *[[:space:]\'\"\$\`\\]*) die "unexpected characters in $key=$val" ;; esac
    local tmp=$STATE.new
    { grep -v "^$key=" "$STATE" 2>/dev/null || true; echo "$key=$val"; } >"$tmp"
    mv "$tmp" "$STATE"
    printf -v "$key" '%s' "$val"
}

# Environment given to commands run with exec-server / exec-client.
export_lab_env() {
    local k
    while IFS= read -r k; do
        export "${k?}"
    done < <(sed -n 's/^\(LAB_[A-Z0-9_]*\)=.*/\1/p' "$STATE")
    export LAB_STATE=$STATE
    export NSS_WRAPPER_PASSWD=$LAB_NSS_PASSWD NSS_WRAPPER_GROUP=$LAB_NSS_GROUP
    export PATH=$LAB_BIN_DIR:$PATH
}

# ---------------------------------------------------------------- namespaces

ns_exists() { [ -e "/run/netns/$1" ]; }

# Processes living in a namespace, one pid a line (empty if none / no ns).
ns_pids() {
    if ns_exists "$1"; then
        ip netns pids "$1" 2>/dev/null || true
    fi
}

joined() { tr '\n' ' ' | sed 's/ *$//'; } # one line from many

# Kill every process of the namespace: SIGTERM, bounded wait, then SIGKILL.
ns_kill_all() {
    local ns=$1 pids i
    pids=$(ns_pids "$ns")
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    for ((i = 0; i < STOP_TIMEOUT * 10; i++)); do
        pids=$(ns_pids "$ns")
        [ -n "$pids" ] || return 0
        sleep 0.1
    done
    msg "processes still alive in $ns after ${STOP_TIMEOUT}s, sending SIGKILL: $(joined <<<"$pids")"
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    for ((i = 0; i < 20; i++)); do
        [ -n "$(ns_pids "$ns")" ] || return 0
        sleep 0.1
    done
    msg "warning: processes left in $ns: $(ns_pids "$ns" | joined)"
}

# 'ip netns add' turns /run/netns into a bind mount of itself the first time it
# is used on a machine. Undo that if this lab did it and nothing else uses it.
netns_dir_before() {
    if mountpoint -q /run/netns 2>/dev/null; then
        echo mounted
    elif [ -d /run/netns ]; then
        echo dir
    else
        echo none
    fi
}

netns_dir_restore() { # netns_dir_restore STATE-BEFORE
    local before=$1
    [ "$before" = mounted ] && return 0
    [ -d /run/netns ] || return 0
    [ -z "$(ls -A /run/netns 2>/dev/null)" ] || return 0
    if mountpoint -q /run/netns; then
        umount /run/netns 2>/dev/null || return 0
    fi
    if [ "$before" = none ]; then
        rmdir /run/netns 2>/dev/null || true
    fi
}

# Run a command in the server namespace in a fresh private mount namespace,
# with empty tmpfs over /run/samba and /var/log/samba (Samba's helpers create
# files there before reading the configuration), and nss-wrapper for users.
server_private() {
    ip netns exec "$LAB_SERVER_NS" env \
        LD_PRELOAD="$LAB_NSS_LIB" NSS_WRAPPER_PASSWD="$LAB_NSS_PASSWD" NSS_WRAPPER_GROUP="$LAB_NSS_GROUP" \
        sh -c 'mount -t tmpfs -o size=16m,mode=0755 lab-run-samba /run/samba &&
               mount -t tmpfs -o size=16m,mode=0755 lab-log-samba /var/log/samba &&
               exec "$@"' lab-server "$@"
}

client_private() {
    ip netns exec "$LAB_CLIENT_NS" \
        sh -c 'mount -t tmpfs -o size=16m,mode=0755 lab-run-samba /run/samba &&
               mount -t tmpfs -o size=16m,mode=0755 lab-log-samba /var/log/samba &&
               exec "$@"' lab-client "$@"
}

smbd_alive() { [ -n "${LAB_SMBD_PID:-}" ] && kill -0 "$LAB_SMBD_PID" 2>/dev/null; }

# Run a command with smbd's own view: its network namespace and its mount
# namespace (the one with the tmpfs mounts). Falls back to a fresh private
# mount namespace in the server netns when smbd is gone.
# "server_exec exec CMD..." replaces this shell with CMD (same pid), as
# exec-server does; "server_exec run CMD..." runs it as a child.
server_exec() {
    local how=$1
    shift
    local argv
    if smbd_alive; then
        # --wd: entering a mount namespace resets the working directory to /.
        argv=(nsenter -t "$LAB_SMBD_PID" -m -n --wd="$PWD" -- "$@")
    else
        msg "smbd is not running; running in a fresh mount namespace of $LAB_SERVER_NS"
        argv=(ip netns exec "$LAB_SERVER_NS"
            sh -c 'mount -t tmpfs -o size=16m,mode=0755 lab-run-samba /run/samba &&
                   mount -t tmpfs -o size=16m,mode=0755 lab-log-samba /var/log/samba &&
                   exec "$@"' lab-server "$@")
    fi
    if [ "$how" = exec ]; then
        exec "${argv[@]}"
    fi
    "${argv[@]}"
}

fill_template() { # fill_template IN OUT
    sed -e "s|@LAB_DIR@|$LAB_DIR|g" \
        -e "s|@SERVER_ADDR@|$LAB_SERVER_ADDR|g" \
        -e "s|@PREFIX@|$LAB_PREFIX|g" \
        -e "s|@SHARE_DATA@|$LAB_SHARE_DATA|g" \
        -e "s|@SHARE_SECOND@|$LAB_SHARE_SECOND|g" \
        -e "s|@LAB_USER@|$LAB_USER|g" \
        -e "s|@LAB_UID@|$LAB_UID|g" \
        "$1" >"$2"
}

smbd_listening() {
    ip netns exec "$LAB_SERVER_NS" ss -Hltn "sport = :445" 2>/dev/null | grep -q .
}

# ---------------------------------------------------------------- up

cmd_up() {
    local timestamps=1
    while [ $# -gt 0 ]; do
        case $1 in
            --no-timestamps) timestamps=0; shift ;;
            *) die "up: unknown option $1" ;;
        esac
    done
    need_root
    local t0 t1 i
    t0=$(date +%s.%N)
    for c in ip smbd smbpasswd smbclient smbstatus nsenter ss tcpdump mountpoint; do
        command -v "$c" >/dev/null || die "missing command: $c"
    done
    case $TMPBASE in *[[:space:]\'\"\$\`\\\|]*) die "TMPDIR must not contain spaces or quotes" ;; esac

    local dir id
    dir=$(mktemp -d "$TMPBASE/nimbrel-lab.XXXXXX")
    id=${dir##*.}
    id=$(echo "$id" | tr '[:upper:]' '[:lower:]' | tr -cd 'a-z0-9')
    STATE=$dir/lab.env
    : >"$STATE"
    # From here on, any failure tears down what was made so far.
    trap 'rc=$?; if [ $rc -ne 0 ]; then msg "up failed, cleaning up"; cmd_down >&2 || true; fi' EXIT

    state_set LAB_DIR "$dir"
    state_set LAB_ID "$id"
    state_set LAB_NETNS_DIR_BEFORE "$(netns_dir_before)"
    # LAB_SERVER_NS / LAB_CLIENT_NS are written only once this run has made
    # them, so that a failed 'ip netns add' (name taken) cannot make the
    # cleanup touch another lab's namespace.
    state_set LAB_SERVER_NS ""
    state_set LAB_CLIENT_NS ""
    state_set LAB_SERVER_IF "nbls-$id"
    state_set LAB_CLIENT_IF "nblc-$id"
    state_set LAB_SERVER_ADDR "$SERVER_ADDR"
    state_set LAB_CLIENT_ADDR "$CLIENT_ADDR"
    state_set LAB_PREFIX "$PREFIX"
    state_set LAB_TCP_TIMESTAMPS "$timestamps"
    state_set LAB_SMB_CONF "$dir/smb.conf"
    state_set LAB_CLIENT_CONF "$dir/client.conf"
    state_set LAB_LOG_DIR "$dir/log"
    state_set LAB_BIN_DIR "$dir/bin"
    state_set LAB_SHARES "data,second"
    state_set LAB_SHARE_DATA "$dir/share-data"
    state_set LAB_SHARE_SECOND "$dir/share-second"
    state_set LAB_USER "$LAB_USER_NAME"
    state_set LAB_UID "$LAB_USER_UID"
    state_set LAB_PASSWORD "$LAB_USER_PASSWORD"
    state_set LAB_AUTH_FILE "$dir/client/auth"
    state_set LAB_NSS_LIB "$(nss_wrapper_lib)"
    state_set LAB_NSS_PASSWD "$dir/passwd"
    state_set LAB_NSS_GROUP "$dir/group"
    state_set LAB_SMBD_PID ""

    # Files. The temp folder must be traversable by the test user, whom smbd
    # becomes when it opens the shares.
    chmod 0711 "$dir"
    mkdir -p "$dir"/{private,lock,state,cache,run,ncalrpc,log,bin} \
        "$dir"/client/{lock,state,cache,private,run,ncalrpc,log,work}
    chmod 0700 "$dir/private" "$dir/client"
    mkdir -p "$LAB_SHARE_DATA" "$LAB_SHARE_SECOND"
    chmod 0777 "$LAB_SHARE_DATA" "$LAB_SHARE_SECOND"
    fill_template "$LAB_HOME/smb.conf.in" "$LAB_SMB_CONF"
    fill_template "$LAB_HOME/client.conf.in" "$LAB_CLIENT_CONF"
    fill_template "$LAB_HOME/passwd.in" "$LAB_NSS_PASSWD"
    fill_template "$LAB_HOME/group.in" "$LAB_NSS_GROUP"
    printf 'username = %s\npassword = %s\n' "$LAB_USER" "$LAB_PASSWORD" >"$LAB_AUTH_FILE"
    chmod 0600 "$LAB_AUTH_FILE"
    # smbstatus / testparm wrappers that resolve the lab user through nss-wrapper;
    # exec-server puts them first in PATH.
    local tool
    for tool in smbstatus testparm smbcontrol pdbedit; do
        cat >"$LAB_BIN_DIR/$tool" <<EOF
#!/bin/sh
# $tool with the lab's nss-wrapper user files (the lab user is unknown to /etc/passwd).
LD_PRELOAD=$LAB_NSS_LIB\${LD_PRELOAD:+:\$LD_PRELOAD} NSS_WRAPPER_PASSWD=$LAB_NSS_PASSWD NSS_WRAPPER_GROUP=$LAB_NSS_GROUP exec $(command -v "$tool") "\$@"
EOF
        chmod 0755 "$LAB_BIN_DIR/$tool"
    done

    # Namespaces and the veth pair (created directly inside the namespaces,
    # so no interface ever shows up in the host namespace).
    local ns
    for ns in "nblsrv-$id" "nblcli-$id"; do
        ! ns_exists "$ns" || die "network namespace $ns exists already"
        ip netns add "$ns" || die "cannot create network namespace $ns"
        case $ns in
            nblsrv-*) state_set LAB_SERVER_NS "$ns" ;;
            *) state_set LAB_CLIENT_NS "$ns" ;;
        esac
    done
    for ns in "$LAB_SERVER_NS" "$LAB_CLIENT_NS"; do
        ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 \
            net.ipv6.conf.default.disable_ipv6=1 >/dev/null
        ip netns exec "$ns" sysctl -q -w net.ipv4.tcp_timestamps="$timestamps" >/dev/null
        ip -n "$ns" link set lo up
    done
    ip -n "$LAB_SERVER_NS" link add "$LAB_SERVER_IF" type veth peer name "$LAB_CLIENT_IF" netns "$LAB_CLIENT_NS"
    ip -n "$LAB_SERVER_NS" addr add "$LAB_SERVER_ADDR/$LAB_PREFIX" dev "$LAB_SERVER_IF"
    ip -n "$LAB_CLIENT_NS" addr add "$LAB_CLIENT_ADDR/$LAB_PREFIX" dev "$LAB_CLIENT_IF"
    ip -n "$LAB_SERVER_NS" link set "$LAB_SERVER_IF" up
    ip -n "$LAB_CLIENT_NS" link set "$LAB_CLIENT_IF" up

    # Samba: check the configuration, add the user, start smbd.
    server_private testparm -s "$LAB_SMB_CONF" >"$LAB_LOG_DIR/testparm.out" 2>&1 ||
        die "testparm rejects $LAB_SMB_CONF: $(tail -3 "$LAB_LOG_DIR/testparm.out")"
    printf '%s\n%s\n' "$LAB_PASSWORD" "$LAB_PASSWORD" |
        server_private smbpasswd -c "$LAB_SMB_CONF" -a -s "$LAB_USER" >"$LAB_LOG_DIR/smbpasswd.out" 2>&1 ||
        die "smbpasswd -a failed: $(cat "$LAB_LOG_DIR/smbpasswd.out")"

    # smbd stays in the foreground (no fork) and makes itself a session
    # leader, so signals for the caller's terminal or process group do not
    # reach it: only 'down' stops it. Its pid is $! because ip netns exec,
    # env and sh all exec the next program. Same wrapping as server_private,
    # written out because a backgrounded shell function would add a subshell.
    ip netns exec "$LAB_SERVER_NS" env \
        LD_PRELOAD="$LAB_NSS_LIB" NSS_WRAPPER_PASSWD="$LAB_NSS_PASSWD" NSS_WRAPPER_GROUP="$LAB_NSS_GROUP" \
        sh -c 'mount -t tmpfs -o size=16m,mode=0755 lab-run-samba /run/samba &&
               mount -t tmpfs -o size=16m,mode=0755 lab-log-samba /var/log/samba &&
               exec "$@"' lab-smbd smbd --foreground -s "$LAB_SMB_CONF" -l "$LAB_LOG_DIR" \
        </dev/null >"$LAB_LOG_DIR/smbd.out" 2>&1 &
    local pid=$!
    state_set LAB_SMBD_PID "$pid"
    for ((i = 0; i < UP_TIMEOUT * 20; i++)); do
        kill -0 "$pid" 2>/dev/null ||
            die "smbd exited at start:
$(log_tail "$LAB_LOG_DIR/smbd.out" "$LAB_LOG_DIR/log.smbd")"
        smbd_listening && break
        sleep 0.05
    done
    smbd_listening || die "smbd does not listen on $LAB_SERVER_ADDR:445 after ${UP_TIMEOUT}s:
$(log_tail "$LAB_LOG_DIR/smbd.out" "$LAB_LOG_DIR/log.smbd")"
    # And it answers from the client side of the veth.
    timeout 5 ip netns exec "$LAB_CLIENT_NS" bash -c "exec 3<>/dev/tcp/$LAB_SERVER_ADDR/445" 2>/dev/null ||
        die "client namespace cannot connect to $LAB_SERVER_ADDR:445"
    # Sanity: the pid we hold is the smbd of the pid file.
    local pidfile
    for pidfile in "$dir"/run/smbd*.pid; do
        [ -e "$pidfile" ] || continue
        [ "$(tr -d ' \n' <"$pidfile")" = "$pid" ] || msg "warning: $pidfile says $(cat "$pidfile"), started pid $pid"
    done

    trap - EXIT
    t1=$(date +%s.%N)
    msg "up in $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.2f", b-a}')s: server $LAB_SERVER_NS ($LAB_SERVER_IF $LAB_SERVER_ADDR), client $LAB_CLIENT_NS ($LAB_CLIENT_IF $LAB_CLIENT_ADDR), smbd pid $pid, tcp timestamps $([ "$timestamps" = 1 ] && echo on || echo off)"
    msg "state file:"
    echo "$STATE"
}

# ---------------------------------------------------------------- down

cmd_down() {
    need_root
    if [ -z "$STATE" ] && ! compgen -G "$TMPBASE/nimbrel-lab.*/lab.env" >/dev/null; then
        msg "down: no lab state found, nothing to do"
        return 0
    fi
    find_state
    if [ ! -e "$STATE" ]; then
        msg "down: $STATE is gone, nothing to do"
        return 0
    fi
    # shellcheck disable=SC1090
    . "$STATE"
    local ns
    for ns in ${LAB_CLIENT_NS:-} ${LAB_SERVER_NS:-}; do
        ns_kill_all "$ns"
    done
    for ns in ${LAB_CLIENT_NS:-} ${LAB_SERVER_NS:-}; do
        if ns_exists "$ns"; then
            ip netns del "$ns" || msg "warning: could not delete namespace $ns"
        fi
    done
    netns_dir_restore "${LAB_NETNS_DIR_BEFORE:-mounted}"
    case ${LAB_DIR:-} in
        "$TMPBASE"/nimbrel-lab.*) rm -rf -- "$LAB_DIR" ;;
        *) msg "warning: not removing unexpected lab folder '${LAB_DIR:-}'" ;;
    esac
    msg "down: lab ${LAB_ID:-?} removed (namespaces: ${LAB_SERVER_NS:-none} ${LAB_CLIENT_NS:-none})"
}

# ---------------------------------------------------------------- exec

cmd_exec_server() {
    [ $# -gt 0 ] || die "exec-server: no command"
    need_root
    load_state
    export_lab_env
    server_exec exec "$@"
}

cmd_exec_client() {
    [ $# -gt 0 ] || die "exec-client: no command"
    need_root
    load_state
    export_lab_env
    exec ip netns exec "$LAB_CLIENT_NS" \
        sh -c 'mount -t tmpfs -o size=16m,mode=0755 lab-run-samba /run/samba &&
               mount -t tmpfs -o size=16m,mode=0755 lab-log-samba /var/log/samba &&
               exec "$@"' lab-client "$@"
}

# ---------------------------------------------------------------- capture

CAPTURE_PID=
CAPTURE_ERR=

capture_start() { # capture_start FILE
    local file=$1 i
    : >"$file" || die "cannot write $file"
    file=$(cd "$(dirname "$file")" && pwd)/$(basename "$file")
    CAPTURE_ERR=$LAB_DIR/tcpdump.$$.err
    # --immediate-mode: hand every packet to tcpdump at once; without it the
    # kernel keeps packets in a ring-buffer block for up to a second, and the
    # last packets of a run are lost when tcpdump is stopped. -U: write each
    # packet at once so the file is usable even if tcpdump is killed.
    # -Z root: keep root so tcpdump can write wherever FILE is.
    ip netns exec "$LAB_SERVER_NS" tcpdump -i "$LAB_SERVER_IF" -s 0 -U --immediate-mode -Z root -w "$file" 'tcp port 445' \
        </dev/null >/dev/null 2>"$CAPTURE_ERR" &
    CAPTURE_PID=$!
    for ((i = 0; i < 100; i++)); do
        grep -q 'listening on' "$CAPTURE_ERR" 2>/dev/null && return 0
        kill -0 "$CAPTURE_PID" 2>/dev/null || die "tcpdump failed: $(cat "$CAPTURE_ERR")"
        sleep 0.05
    done
    die "tcpdump did not start within 5s: $(cat "$CAPTURE_ERR")"
}

capture_stop() {
    [ -n "$CAPTURE_PID" ] || return 0
    local i
    # Let the last FIN/ACKs of the client's connections pass first.
    sleep 0.3
    kill -INT "$CAPTURE_PID" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
        kill -0 "$CAPTURE_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$CAPTURE_PID" 2>/dev/null; then
        msg "tcpdump did not stop on SIGINT, killing it"
        kill -KILL "$CAPTURE_PID" 2>/dev/null || true
    fi
    wait "$CAPTURE_PID" 2>/dev/null || true
    grep -E 'packets (captured|dropped)' "$CAPTURE_ERR" | sed 's/^/lab: tcpdump: /' >&2 || true
    rm -f "$CAPTURE_ERR"
    CAPTURE_PID=
}

cmd_capture() {
    [ $# -ge 2 ] || die "usage: capture FILE CMD..."
    need_root
    load_state
    local file=$1 rc=0
    shift
    capture_start "$file"
    trap 'capture_stop' EXIT
    LAB_STATE=$STATE "$@" || rc=$?
    capture_stop
    trap - EXIT
    msg "capture written to $file"
    return $rc
}

# ---------------------------------------------------------------- status

smbstatus_json() { server_exec run "$LAB_BIN_DIR/smbstatus" --json -s "$LAB_SMB_CONF" 2>/dev/null; }

cmd_status() {
    need_root
    load_state
    echo "state file:   $STATE"
    echo "temp folder:  $LAB_DIR"
    echo "server:       $LAB_SERVER_NS $(ns_exists "$LAB_SERVER_NS" && echo present || echo MISSING) if $LAB_SERVER_IF addr $LAB_SERVER_ADDR/$LAB_PREFIX"
    echo "client:       $LAB_CLIENT_NS $(ns_exists "$LAB_CLIENT_NS" && echo present || echo MISSING) if $LAB_CLIENT_IF addr $LAB_CLIENT_ADDR/$LAB_PREFIX"
    echo "tcp timestamps: $LAB_TCP_TIMESTAMPS"
    echo "smbd pid:     $LAB_SMBD_PID $(smbd_alive && echo running || echo 'NOT RUNNING')"
    echo "processes in $LAB_SERVER_NS: $(ns_pids "$LAB_SERVER_NS" | joined)"
    echo "processes in $LAB_CLIENT_NS: $(ns_pids "$LAB_CLIENT_NS" | joined)"
    echo "smbstatus --json:"
    smbstatus_json || echo "(smbstatus failed)"
}

# ---------------------------------------------------------------- scenario

# Poll smbstatus until a session with a tree connect to SHARE (and, with
# WANT_OPEN=1, an open file) is listed, then write the JSON to FILE.
snapshot_sessions() { # snapshot_sessions FILE SHARE WANT_OPEN TIMEOUT
    local file=$1 share=$2 want_open=$3 timeout=$4 i json
    for ((i = 0; i < timeout * 10; i++)); do
        json=$(smbstatus_json || true)
        # smbstatus prints its JSON on one line: plain greps are enough.
        if grep -q "\"service\": \"$share\"" <<<"$json" &&
            ! grep -q '"sessions": {}' <<<"$json" &&
            { [ "$want_open" != 1 ] || ! grep -q '"open_files": {}' <<<"$json"; }; then
            if command -v jq >/dev/null; then
                jq . <<<"$json" >"$file"
            else
                printf '%s\n' "$json" >"$file"
            fi
            msg "smbstatus snapshot written to $file"
            return 0
        fi
        sleep 0.1
    done
    msg "warning: no session on $share seen by smbstatus within ${timeout}s"
    return 1
}

cmd_scenario() {
    local proto=SMB3 share=data second='' record='' snapshot='' hold=
    while [ $# -gt 0 ]; do
        case $1 in
            --proto) proto=${2:?--proto needs SMB2 or SMB3}; shift 2 ;;
            --share) share=${2:?--share needs a name}; shift 2 ;;
            --second) second=${2:?}; shift 2 ;;
            --record) record=${2:?--record needs a file}; shift 2 ;;
            --snapshot) snapshot=${2:?--snapshot needs a file}; shift 2 ;;
            --hold) hold=${2:?--hold needs seconds}; shift 2 ;;
            --state) STATE=${2:?}; shift 2 ;;
            *) die "scenario: unknown option $1" ;;
        esac
    done
    case $proto in SMB2 | SMB3) ;; *) die "--proto must be SMB2 or SMB3" ;; esac
    need_root
    load_state
    export_lab_env
    if [ -z "$second" ]; then
        second=second
        [ "$share" = second ] && second=data
    fi
    local rc=0 t0 t1
    resume=
    snap_pid=
    t0=$(date +%s.%N)
    [ -n "$record" ] && capture_start "$record"
    trap 'capture_stop; [ -n "$snap_pid" ] && kill "$snap_pid" 2>/dev/null; true' EXIT
    if [ -n "$hold" ]; then
        case $hold in '' | *[!0-9]*) die "--hold needs a whole number of seconds" ;; esac
        if [ -n "$snapshot" ]; then
            snapshot_sessions "$snapshot" "$share" 1 "$hold" &
            snap_pid=$!
        fi
        client_private bash "$LAB_HOME/scenario.sh" hold --proto "$proto" --share "$share" --seconds "$hold" || rc=$?
    else
        if [ -n "$snapshot" ]; then
            resume=$LAB_DIR/client/work/resume.$$
            rm -f "$resume"
            (
                src=0
                snapshot_sessions "$snapshot" "$share" 1 10 || src=$?
                touch "$resume"
                exit $src
            ) &
            snap_pid=$!
        fi
        LAB_RESUME_FILE=$resume client_private bash "$LAB_HOME/scenario.sh" run \
            --proto "$proto" --share "$share" --second "$second" || rc=$?
    fi
    if [ -n "$snap_pid" ]; then
        wait "$snap_pid" || rc=1
        snap_pid=
        if [ -n "$resume" ]; then rm -f "$resume"; fi
    fi
    capture_stop
    trap - EXIT
    [ -n "$record" ] && msg "capture written to $record"
    t1=$(date +%s.%N)
    [ $rc -eq 0 ] || die "scenario failed (rc=$rc)"
    if [ -z "$hold" ]; then
        # What the server ended up with.
        local d=$LAB_SHARE_DATA
        [ "$share" = second ] && d=$LAB_SHARE_SECOND
        if [ -e "$d/report.txt" ] || [ -e "$d/report-renamed.txt" ] || [ -e "$d/newdir" ]; then
            die "scenario left files in $d: $(ls "$d")"
        fi
    fi
    msg "scenario $proto on $share done in $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.2f", b-a}')s"
}

cmd_hold() {
    local n=${1:?usage: hold SECONDS [scenario options]}
    shift
    cmd_scenario --hold "$n" "$@"
}

# ---------------------------------------------------------------- check

cmd_check() {
    need_root
    local ns before
    ns=nblprobe-$$
    before=$(netns_dir_before)
    if ! ip netns add "$ns" 2>/dev/null; then
        netns_dir_restore "$before"
        echo "cannot create network namespaces"
        return 77
    fi
    ip netns del "$ns"
    netns_dir_restore "$before"
    echo "network namespaces: ok"
}

# ---------------------------------------------------------------- main

while [ $# -gt 0 ]; do
    case $1 in
        --state) STATE=${2:?--state needs a file}; shift 2 ;;
        --state=*) STATE=${1#--state=}; shift ;;
        -h | --help) sed -n '2,/^set -e/{/^#/s/^# \{0,1\}//p}' "$LAB_SELF"; exit 0 ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || die "no command; see lab.sh --help"
cmd=$1
shift
case $cmd in
    up) cmd_up "$@" ;;
    down) [ "${1:-}" = --state ] && STATE=${2:?}; cmd_down ;;
    status) [ "${1:-}" = --state ] && STATE=${2:?}; cmd_status ;;
    scenario) cmd_scenario "$@" ;;
    hold) cmd_hold "$@" ;;
    exec-server) cmd_exec_server "$@" ;;
    exec-client) cmd_exec_client "$@" ;;
    capture) cmd_capture "$@" ;;
    check) cmd_check ;;
    *) die "unknown command $cmd; see lab.sh --help" ;;
esac
