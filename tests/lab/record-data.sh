#!/bin/bash
# Records the reference captures in tests/data/ from fresh labs:
#   smb2-ts    SMB2 dialects, TCP timestamps on  (32-byte TCP headers)
#   smb3-ts    SMB3 dialects, TCP timestamps on  (32-byte TCP headers)
#   smb2-nots  SMB2 dialects, TCP timestamps off (20-byte TCP headers)
# For each: NAME.pcap, NAME.sessions.json (smbstatus --json taken while the
# client had report.txt open on \\10.99.0.1\data) and NAME.txt (what happened).
#
# Usage: record-data.sh [OUTDIR] [NAME...]   (default: tests/data, all three)
# Needs root, samba, smbclient, tcpdump, tshark (for the .txt summaries).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
LAB=$HERE/lab.sh
OUT=${1:-$HERE/../data}
shift || true
NAMES=("$@")
[ ${#NAMES[@]} -gt 0 ] || NAMES=(smb2-ts smb3-ts smb2-nots)
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
for c in tshark jq; do
    command -v $c >/dev/null || {
        echo "record-data: $c is needed for the summaries (apt-get install $c)" >&2
        exit 1
    }
done

STATE=
trap '[ -n "$STATE" ] && "$LAB" --state "$STATE" down || true' EXIT

SMB2_CMDS=(NEGOTIATE SESSION_SETUP LOGOFF TREE_CONNECT TREE_DISCONNECT CREATE CLOSE FLUSH READ WRITE
    LOCK IOCTL CANCEL ECHO QUERY_DIRECTORY CHANGE_NOTIFY QUERY_INFO SET_INFO OPLOCK_BREAK)

# One line per SMB2 message: frame, TCP connection, direction, command, ids,
# and for CREATE the access mask, disposition, options and the create action.
smb2_table() { # smb2_table PCAP
    tshark -r "$1" -Y smb2 -T fields -E separator='|' -E occurrence=f \
        -e frame.number -e tcp.stream -e smb2.flags.response -e smb2.flags.async -e smb2.cmd \
        -e smb2.sesid -e smb2.tid -e smb2.tree -e smb2.filename -e smb2.file_info.infolevel \
        -e smb.access_mask -e smb2.create.disposition -e smb.create_options -e smb2.create.action \
        -e smb2.fid -e smb2.nt_status 2>/dev/null |
        while IFS='|' read -r frame stream resp async cmd sesid tid tree fname infolevel \
            access disp options action fid status; do
            local dir=request name=${SMB2_CMDS[$cmd]:-CMD$cmd} extra=""
            [[ $resp == 1 || $resp == True ]] && dir=response
            [[ $async == 1 || $async == True ]] && extra+=" async"
            [ -n "$tree" ] && extra+=" tree=$tree"
            [ -n "$fname" ] && extra+=" name=$fname"
            if [ "$dir" = request ] && [ "$name" = CREATE ]; then
                extra+=" access=$access disposition=$disp options=$options"
            fi
            [ -n "$action" ] && extra+=" action=$action"
            [ -n "$infolevel" ] && extra+=" infolevel=$infolevel"
            [ -n "$fid" ] && [ "$fid" != ffffffff-ffff-ffff-ffff-ffffffffffff ] && extra+=" fid=$fid"
            [ -n "$status" ] && [ "$dir" = response ] && extra+=" status=$status"
            printf '%4s conn%s %-8s %-15s sesid=%s tid=%s%s\n' "$frame" "$stream" "$dir" "$name" \
                "${sesid:-?}" "${tid:-none}" "$extra"
        done
}

record_one() { # record_one NAME
    local name=$1 proto up_opts=() hdr
    case $name in
        smb2-ts) proto=SMB2 ;;
        smb3-ts) proto=SMB3 ;;
        smb2-nots) proto=SMB2 up_opts=(--no-timestamps) ;;
        *) echo "record-data: unknown capture $name" >&2; return 1 ;;
    esac
    echo "== $name: up ${up_opts[*]}"
    STATE=$("$LAB" up "${up_opts[@]}")
    # shellcheck disable=SC1090
    . "$STATE"
    local pcap=$OUT/$name.pcap json=$OUT/$name.sessions.json log
    log=$(mktemp)
    "$LAB" --state "$STATE" scenario --proto "$proto" --share data --record "$pcap" --snapshot "$json" 2>&1 | tee "$log"
    "$LAB" --state "$STATE" down
    STATE=

    hdr=$(tshark -r "$pcap" -T fields -e tcp.flags.syn -e tcp.hdr_len 2>/dev/null |
        awk '{k=($1=="1"||$1=="True")?"SYN/SYN-ACK":"all other segments"; c[k" "$2]++}
             END{for (x in c) print "  " x " bytes: " c[x] " packets"}' | sort)
    local dialects
    dialects=$(tshark -r "$pcap" -Y 'smb2.cmd==0 and smb2.flags.response==1' -T fields -e smb2.dialect 2>/dev/null | sort -u | tr '\n' ' ')
    {
        cat <<EOF
$name.pcap: one lab scenario, recorded on the server's veth with
  tcpdump -i $LAB_SERVER_IF -s 0 -U --immediate-mode -w $name.pcap 'tcp port 445'
by tests/lab/record-data.sh (lab.sh scenario --proto $proto --record ... --snapshot ...).

Machines
  server  $LAB_SERVER_ADDR/$LAB_PREFIX  (namespace $LAB_SERVER_NS, Samba $(smbd --version | awk '{print $2}'), port 445)
  client  $LAB_CLIENT_ADDR/$LAB_PREFIX  (namespace $LAB_CLIENT_NS, smbclient -m $proto)
  TCP timestamps: $([ "$LAB_TCP_TIMESTAMPS" = 1 ] && echo on || echo off)
  dialect negotiated: $dialects(0x0210 = SMB 2.1, 0x0311 = SMB 3.1.1)
  no encryption; signing "partial" (smbstatus): only the last SESSION_SETUP
  response, the TREE_CONNECTs and the FSCTL_VALIDATE_NEGOTIATE_INFO IOCTLs are
  signed, all other messages carry no signature

User
  $LAB_USER (uid $LAB_UID, password $LAB_PASSWORD), NTLMSSP, domain/workgroup NIMLAB

Shares (paths on the server during this recording)
  data    $LAB_SHARE_DATA
  second  $LAB_SHARE_SECOND
  IPC\$

What the client did
  connection 1 (\\\\$LAB_SERVER_ADDR\\data), one session:
    1. negotiate, session setup (NTLMSSP: the first response has status
       0xc0000016 MORE_PROCESSING_REQUIRED and already the SessionId),
       tree connect IPC\$, IOCTL FSCTL_DFS_GET_REFERRALS for \\$LAB_SERVER_ADDR\data
       (answered 0xc0000225 NOT_FOUND), tree disconnect IPC\$: smbclient's own
       DFS check at every start
    2. tree connect \\\\$LAB_SERVER_ADDR\\data
       (with SMB 2.1 each tree connect is followed by IOCTL
       FSCTL_VALIDATE_NEGOTIATE_INFO; SMB 3.1.1 does not need it)
    3. put report.txt: new file, 2048 bytes
       CREATE disposition 5 (overwrite-if) -> action 2 (created), WRITE, CLOSE
    4. get report.txt, read 1: CREATE disposition 1 (open), QUERY_INFO, READ, CLOSE
    5. get report.txt, read 2: the same again
    6. put report.txt again, 300 bytes:
       CREATE disposition 5 -> action 3 (overwritten), WRITE, CLOSE
    7. open report.txt (smbclient "open") and keep the handle while smbstatus
       --json is taken (that is $name.sessions.json), then CLOSE
    8. rename report.txt -> report-renamed.txt:
       CREATE report.txt, SET_INFO FileRenameInformation (infolevel 0x0a) carrying
       the new name, CLOSE
    9. delete report-renamed.txt: QUERY_DIRECTORY on the share root to find it,
       then CREATE with access 0x00010000 (DELETE) and create option 0x1000
       (delete on close), CLOSE; no SET_INFO for this one
   10. mkdir newdir: CREATE disposition 2 (create), options 0x1 (directory), CLOSE
   11. rmdir newdir: CREATE (DELETE access), SET_INFO FileDispositionInformation
       (infolevel 0x0d), CLOSE
   12. tree disconnect data, session LOGOFF, TCP close
  connection 2 (\\\\$LAB_SERVER_ADDR\\second), one session:
    tree connect IPC\$ + IOCTLs + tree disconnect (as above), tree connect second,
    put note.txt (120 bytes), get note.txt, tree disconnect second, TCP close (no LOGOFF)
  connection 3 (share listing, smbclient -L):
    tree connect IPC\$, CREATE srvsvc pipe, DCE/RPC bind + NetShareEnumAll
    (IOCTL FSCTL_PIPE_TRANSCEIVE on the pipe handle), CLOSE the pipe,
    tree disconnect IPC\$, TCP close (no LOGOFF). The first RPC call may get
    an interim async response (status 0x103 STATUS_PENDING) while Samba starts
    its RPC helper: that header carries an AsyncId and no TreeId.

TCP header lengths seen (tshark tcp.hdr_len)
$hdr

Session list during connection 1 ($name.sessions.json, smbstatus --json)
$(jq -r '.sessions[] | [.session_id, .username, .remote_machine, .hostname, .session_dialect] | @tsv' "$json" |
        while IFS=$'\t' read -r sid user rm host dia; do
            printf '  session %s (SessionId 0x%016x) username %s remote_machine %s hostname %s dialect %s\n' \
                "$sid" "$sid" "$user" "$rm" "$host" "$dia"
        done)
$(jq -r '.tcons[] | [.tcon_id, .service, .session_id, .machine] | @tsv' "$json" |
        while IFS=$'\t' read -r tid svc sid m; do
            printf '  tcon %s (TreeId 0x%08x) service %s session %s machine %s\n' "$tid" "$tid" "$svc" "$sid" "$m"
        done)
$(jq -r '.open_files | to_entries[] | "  open file \(.value.service_path)/\(.value.filename)"' "$json")
  session_id and tcon_id in smbstatus are the SMB2 SessionId and TreeId seen on
  the wire, written in decimal.

SMB2 commands seen (requests): $(tshark -r "$pcap" -Y 'smb2.flags.response==0' -T fields -e smb2.cmd 2>/dev/null | tr ',' '\n' | sort -n | uniq -c | awk -v names="${SMB2_CMDS[*]}" 'BEGIN{split(names,n," ")} {printf "%s%s x%d", sep, n[$2+1], $1; sep=", "}')

Every SMB2 message (frame, TCP connection, direction, command, ids, details):
$(smb2_table "$pcap")
EOF
    } >"$OUT/$name.txt"
    rm -f "$log"
    echo "== $name: $(stat -c %s "$pcap") bytes, see $OUT/$name.txt"
}

for n in "${NAMES[@]}"; do
    record_one "$n"
done
