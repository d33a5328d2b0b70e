#!/bin/bash
# Self-test of the lab: two full runs (up, scenario SMB2, scenario SMB3, hold,
# down), the second one without TCP timestamps, then checks that the host is
# exactly as before: no namespace, process, mount or temp folder left, nothing
# changed under /etc and Samba's system folders.
#
# Exit 0 when all checks pass, 77 when this machine cannot make network
# namespaces, 1 otherwise. Ends with a "N passed, N failed" line.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
LAB=$HERE/lab.sh
TMPBASE=${TMPDIR:-/tmp}
WORK=
STATE=
COUNTS=/dev/null # one line per check; checks also run in subshells

ok() {
    echo ok >>"$COUNTS"
    echo "ok   - $*"
}
bad() {
    echo fail >>"$COUNTS"
    echo "FAIL - $*"
}
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then ok "$what"; else bad "$what"; fi
}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN{printf "%.2f", b-a}'; }

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root (network namespaces)"
    exit 77
fi
rc=0
"$LAB" check >/dev/null 2>&1 || rc=$?
if [ $rc -eq 77 ]; then
    echo "SKIP: cannot create network namespaces"
    exit 77
elif [ $rc -ne 0 ]; then
    echo "lab.sh check failed (rc=$rc)"
    exit 1
fi

# ------------------------------------------------------------ host snapshot

host_snapshot() {
    # Each part may fail (a folder missing): that only changes what is listed.
    set +e +o pipefail
    echo "== files"
    find /etc /run/samba /var/log/samba /var/lib/samba /var/cache/samba /run/netns \
        -xdev -printf '%p %y %s %m %U %G %T@\n' 2>/dev/null | sort
    echo "== checksums"
    find /etc /run/samba /var/log/samba /var/lib/samba /var/cache/samba -xdev -type f \
        -readable -print0 2>/dev/null | sort -z | xargs -0 -r md5sum 2>/dev/null
    echo "== mounts"
    cut -d' ' -f5,9,10 /proc/self/mountinfo | sort
    echo "== namespaces"
    ip netns list 2>/dev/null | sort
    echo "== links"
    ip -br link | awk '{print $1}' | sort
    echo "== temp folders"
    find "$TMPBASE" -maxdepth 1 -name 'nimbrel-lab.*' | sort
    set -e -o pipefail
}

# Processes that belong to a lab (alive, not zombies).
lab_processes() {
    local p
    for p in /proc/[0-9]*; do
        [ -r "$p/cmdline" ] || continue
        grep -qa 'nimbrel-lab\.' "$p/cmdline" 2>/dev/null || continue
        [ "$(awk '/^State:/{print $2}' "$p/status" 2>/dev/null)" = Z ] && continue
        [ "${p#/proc/}" = "$$" ] && continue
        echo "${p#/proc/} $(tr '\0' ' ' <"$p/cmdline" | cut -c1-120)"
    done
}

cleanup() {
    if [ -n "$STATE" ] && [ -e "$STATE" ]; then
        echo "selftest: cleaning up $STATE"
        "$LAB" --state "$STATE" down || true
    fi
    [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT

WORK=$(mktemp -d "$TMPBASE/nimbrel-selftest.XXXXXX")
COUNTS=$WORK/counts
: >"$COUNTS"
host_snapshot >"$WORK/before.txt"

have_tshark=0
command -v tshark >/dev/null && have_tshark=1

# Checks on one capture: SMB2 commands present, TCP header length, and the
# snapshot's session id seen on the wire.
check_capture() { # check_capture PCAP EXPECTED-TCP-HDR-LEN SNAPSHOT-JSON LABEL
    local pcap=$1 hdr=$2 json=$3 label=$4
    check "$label: capture file is not empty" test -s "$pcap"
    if [ $have_tshark = 0 ]; then
        echo "note - $label: tshark not installed, command checks on the capture skipped"
        return 0
    fi
    local cmds
    cmds=$(tshark -r "$pcap" -Y 'smb2 and smb2.flags.response == 0' -T fields -e smb2.cmd 2>/dev/null |
        tr ',' '\n' | sort -u | tr '\n' ' ')
    local c name
    for c in 0:NEGOTIATE 1:SESSION_SETUP 2:LOGOFF 3:TREE_CONNECT 4:TREE_DISCONNECT 5:CREATE 6:CLOSE 8:READ 9:WRITE 17:SET_INFO; do
        name=${c#*:}
        c=${c%%:*}
        if [[ " $cmds " == *" $c "* ]]; then ok "$label: capture has $name"; else bad "$label: capture has $name (saw: $cmds)"; fi
    done
    local renames
    renames=$(tshark -r "$pcap" -Y 'smb2.cmd == 17 and smb2.flags.response == 0 and smb2.file_info.infolevel == 0x0a' 2>/dev/null | wc -l)
    if [ "$renames" -ge 1 ]; then ok "$label: capture has a rename (SET_INFO FileRenameInformation)"; else bad "$label: no rename SET_INFO in capture"; fi
    local lens
    lens=$(tshark -r "$pcap" -Y 'tcp.flags.syn == 0' -T fields -e tcp.hdr_len 2>/dev/null | sort -u | tr '\n' ' ')
    if [ "$lens" = "$hdr " ]; then ok "$label: all non-SYN TCP headers are $hdr bytes"; else bad "$label: TCP header lengths '$lens', expected $hdr"; fi
    if [ -s "$json" ]; then
        local sid hex
        sid=$(grep -o '"session_id": "[0-9]*"' "$json" | head -1 | grep -o '[0-9][0-9]*' || true)
        if [ -n "$sid" ]; then
            hex=$(printf '0x%016x' "$sid")
            if tshark -r "$pcap" -Y "smb2.sesid == $hex" 2>/dev/null | grep -q .; then
                ok "$label: smbstatus session_id $sid is the SessionId on the wire ($hex)"
            else
                bad "$label: smbstatus session_id $sid ($hex) not found in capture"
            fi
        fi
    fi
}

check_snapshot() { # check_snapshot JSON SHARE LABEL
    local json=$1 share=$2 label=$3
    check "$label: snapshot written" test -s "$json"
    check "$label: snapshot session username is labuser" grep -q '"username": "labuser"' "$json"
    check "$label: snapshot session remote_machine is the client" grep -q '"remote_machine": "10.99.0.2"' "$json"
    check "$label: snapshot hostname names the client address and port" grep -Eq '"hostname": "ipv4:10\.99\.0\.2:[0-9]+"' "$json"
    check "$label: snapshot tree connect to $share" grep -q "\"service\": \"$share\"" "$json"
    check "$label: snapshot has tcon_id" grep -q '"tcon_id": "[0-9]*"' "$json"
    check "$label: snapshot lists an open file" grep -q '"service_path": ' "$json"
}

one_run() { # one_run LABEL [up options]
    local label=$1 t hdr=32 ts=1
    shift
    [ "${1:-}" = --no-timestamps ] && hdr=20 && ts=0
    echo "# run $label: up $*"
    t=$(now)
    STATE=$("$LAB" up "$@" 2>"$WORK/up-$label.err") || {
        cat "$WORK/up-$label.err"
        bad "$label: up"
        return 1
    }
    ok "$label: up in $(since "$t")s"
    (
        # shellcheck disable=SC1090
        . "$STATE"
        check "$label: server namespace exists" test -e "/run/netns/$LAB_SERVER_NS"
        check "$label: client namespace exists" test -e "/run/netns/$LAB_CLIENT_NS"
        check "$label: veth not visible on the host" bash -c "! ip link show $LAB_SERVER_IF"
        check "$label: server address on server veth" bash -c "ip -n $LAB_SERVER_NS -br addr show $LAB_SERVER_IF | grep -q 10.99.0.1/24"
        check "$label: client address on client veth" bash -c "ip -n $LAB_CLIENT_NS -br addr show $LAB_CLIENT_IF | grep -q 10.99.0.2/24"
        check "$label: IPv6 off in server namespace" bash -c "[ \$(ip netns exec $LAB_SERVER_NS sysctl -n net.ipv6.conf.all.disable_ipv6) = 1 ]"
        check "$label: IPv6 off in client namespace" bash -c "[ \$(ip netns exec $LAB_CLIENT_NS sysctl -n net.ipv6.conf.all.disable_ipv6) = 1 ]"
        check "$label: tcp_timestamps=$ts in client namespace" bash -c "[ \$(ip netns exec $LAB_CLIENT_NS sysctl -n net.ipv4.tcp_timestamps) = $ts ]"
        check "$label: tcp_timestamps=$ts in server namespace" bash -c "[ \$(ip netns exec $LAB_SERVER_NS sysctl -n net.ipv4.tcp_timestamps) = $ts ]"
        check "$label: smbd running" kill -0 "$LAB_SMBD_PID"
        check "$label: client reaches server port 445" "$LAB" --state "$STATE" exec-client bash -c 'exec 3<>/dev/tcp/10.99.0.1/445'
        check "$label: exec-server smbstatus --json" bash -c "'$LAB' --state '$STATE' exec-server smbstatus --json -s '$LAB_SMB_CONF' | grep -q '\"sessions\"'"
        check "$label: exec-server testparm" bash -c "'$LAB' --state '$STATE' exec-server testparm -s '$LAB_SMB_CONF' | grep -q '^\[data\]'"
        check "$label: status" bash -c "'$LAB' --state '$STATE' status | grep -q 'running'"
    ) || true
    local proto
    for proto in SMB2 SMB3; do
        t=$(now)
        if "$LAB" --state "$STATE" scenario --proto "$proto" --record "$WORK/$label-$proto.pcap" \
            --snapshot "$WORK/$label-$proto.json" >"$WORK/$label-$proto.log" 2>&1; then
            ok "$label: scenario $proto in $(since "$t")s"
        else
            bad "$label: scenario $proto"
            sed 's/^/    /' "$WORK/$label-$proto.log"
        fi
        check_snapshot "$WORK/$label-$proto.json" data "$label $proto"
        check_capture "$WORK/$label-$proto.pcap" "$hdr" "$WORK/$label-$proto.json" "$label $proto"
    done
    t=$(now)
    if "$LAB" --state "$STATE" hold 2 --proto SMB3 --share second --snapshot "$WORK/$label-hold.json" \
        >"$WORK/$label-hold.log" 2>&1; then
        ok "$label: hold 2s on second in $(since "$t")s"
    else
        bad "$label: hold"
        sed 's/^/    /' "$WORK/$label-hold.log"
    fi
    check_snapshot "$WORK/$label-hold.json" second "$label hold"
    t=$(now)
    if "$LAB" --state "$STATE" down 2>"$WORK/down-$label.err"; then
        ok "$label: down in $(since "$t")s"
    else
        bad "$label: down"
        cat "$WORK/down-$label.err"
    fi
    check "$label: down twice is fine" "$LAB" --state "$STATE" down
    check "$label: temp folder removed" test ! -e "$(dirname "$STATE")"
    STATE=
}

t_all=$(now)
one_run ts || true
one_run nots --no-timestamps || true

# ------------------------------------------------------------ host afterwards

# Reaping of killed helpers by the machine's init may lag a little.
for ((i = 0; i < 50; i++)); do
    [ -z "$(lab_processes)" ] && break
    sleep 0.1
done
left=$(lab_processes)
if [ -z "$left" ]; then ok "no lab process left"; else bad "lab processes left: $left"; fi
if ip netns list | grep -Eq '^nbl(srv|cli|probe)-'; then bad "lab namespaces left: $(ip netns list)"; else ok "no lab namespace left"; fi
if grep -Eq 'nimbrel-lab|lab-run-samba|lab-log-samba' /proc/self/mountinfo; then bad "lab mounts left"; else ok "no lab mount left"; fi
if compgen -G "$TMPBASE/nimbrel-lab.*" >/dev/null; then bad "temp folders left: $(echo "$TMPBASE"/nimbrel-lab.*)"; else ok "no lab temp folder left"; fi
host_snapshot >"$WORK/after.txt"
if diff -u "$WORK/before.txt" "$WORK/after.txt" >"$WORK/host.diff"; then
    ok "host unchanged (/etc, /run/samba, /var/log/samba, /var/lib/samba, /var/cache/samba, /run/netns, mounts, links)"
else
    bad "host changed:"
    head -40 "$WORK/host.diff"
fi

passed=$(grep -c '^ok$' "$COUNTS" || true)
failed=$(grep -c '^fail$' "$COUNTS" || true)
echo "selftest took $(since "$t_all")s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
