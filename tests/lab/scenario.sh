#!/bin/bash
# Client side of the lab: scripted smbclient sessions against the lab server.
# Runs inside the client namespace; lab.sh starts it through exec-client, which
# exports the LAB_* variables from the run's state file.
#
#   scenario.sh run  --proto SMB2|SMB3 --share data [--second second]
#   scenario.sh hold --proto SMB2|SMB3 --share data --seconds N
#
# LAB_RESUME_FILE (optional): in "run", after opening the held file, wait
# (at most LAB_PAUSE_MAX seconds, default 10) until this file exists, so
# that the caller can take a smbstatus snapshot while a file is open.
#
# smbclient gets all its commands at once on stdin. Pauses are smbclient
# "!command" lines (a local shell command that smbclient runs and waits for):
# writing the commands slowly into the pipe does not work, because smbclient
# reads several lines into its buffer and then waits for more input before it
# runs the buffered ones.
set -euo pipefail

if [ "${1:-}" = wait-resume ]; then # wait-resume FILE MAX-SECONDS (used via "!")
    for ((i = 0; i < ${3:-10} * 10; i++)); do
        [ -e "$2" ] && exit 0
        sleep 0.1
    done
    echo "scenario: no resume signal after ${3:-10}s, going on" >&2
    exit 0
fi

die() { echo "scenario: $*" >&2; exit 1; }

: "${LAB_SERVER_ADDR:?not set, run me through lab.sh exec-client}"
: "${LAB_CLIENT_CONF:?not set}"
: "${LAB_AUTH_FILE:?not set}"
: "${LAB_DIR:?not set}"

mode=${1:-}
[ -n "$mode" ] || die "usage: scenario.sh run|hold [options]"
shift
proto=SMB3
share=data
second=second
seconds=10
while [ $# -gt 0 ]; do
    case $1 in
        --proto) proto=${2:?}; shift 2 ;;
        --share) share=${2:?}; shift 2 ;;
        --second) second=${2:?}; shift 2 ;;
        --seconds) seconds=${2:?}; shift 2 ;;
        *) die "unknown option $1" ;;
    esac
done
case $proto in SMB2 | SMB3) ;; *) die "--proto must be SMB2 or SMB3" ;; esac
case $seconds in '' | *[!0-9]*) die "--seconds needs a whole number" ;; esac

work=$LAB_DIR/client/work/$mode-$proto-$$
rm -rf "$work"
mkdir -p "$work"

# smbclient reads its commands from the writer function on stdin; its output
# goes to a log that we check for NT_STATUS errors afterwards.
smb() { # smb //server/share  (commands on stdin)
    smbclient -s "$LAB_CLIENT_CONF" -m "$proto" -A "$LAB_AUTH_FILE" "$@"
}

run_session() { # run_session NAME WRITER-FUNCTION UNC
    local name=$1 writer=$2 unc=$3 log=$work/$1.log rc=0
    "$writer" | smb "$unc" >"$log" 2>&1 || rc=$?
    sed 's/^/    | /' "$log"
    if [ $rc -ne 0 ] || grep -q 'NT_STATUS_' "$log"; then
        die "session '$name' on $unc failed (rc=$rc), see $log"
    fi
}

make_file() { # make_file PATH BYTES TAG: deterministic text content
    local path=$1 bytes=$2 tag=$3 line
    line="nimbrel lab $tag: the quick brown fox jumps over the lazy dog 0123456789"
    : >"$path"
    while [ "$(stat -c %s "$path")" -lt "$bytes" ]; do
        printf '%s\n' "$line" >>"$path"
    done
    truncate -s "$bytes" "$path"
}

step() { echo "  step: $*"; }

self=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")

srv=//$LAB_SERVER_ADDR

if [ "$mode" = run ]; then
    make_file "$work/report-v1.txt" 2048 "report version 1"
    make_file "$work/report-v2.txt" 300 "report version 2"
    make_file "$work/note.txt" 120 "note on the second share"

    # LAB_STEP_PAUSE=N: N seconds between the steps of connection 1, so that
    # each step leaves its own file times (a tool that judges accesses by
    # them needs that).
    pause() {
        if [ -n "${LAB_STEP_PAUSE:-}" ]; then echo "!sleep $LAB_STEP_PAUSE"; fi
    }
    writer_main() {
        echo "put $work/report-v1.txt report.txt"
        pause
        echo "get report.txt $work/read-1.txt"
        pause
        echo "get report.txt $work/read-2.txt"
        pause
        echo "put $work/report-v2.txt report.txt"
        pause
        echo "open report.txt"
        if [ -n "${LAB_RESUME_FILE:-}" ]; then
            echo "!bash $self wait-resume $LAB_RESUME_FILE ${LAB_PAUSE_MAX:-10}"
        fi
        echo "close 1"
        pause
        echo "rename report.txt report-renamed.txt"
        pause
        echo "del report-renamed.txt"
        pause
        echo "mkdir newdir"
        pause
        echo "rmdir newdir"
        pause
        echo "tdis"
        echo "logoff"
        echo "quit"
    }
    writer_second() {
        echo "put $work/note.txt note.txt"
        echo "get note.txt $work/note-read.txt"
        echo "tdis"
        echo "quit"
    }

    echo "scenario $proto: session 1 on $srv/$share"
    step "tree connect $srv/$share (smbclient first connects and leaves IPC\$ for its DFS check)"
    step "put report.txt (new file, 2048 bytes)"
    step "get report.txt (read 1)"
    step "get report.txt (read 2)"
    step "put report.txt again (overwrite, 300 bytes)"
    step "open report.txt and hold the handle${LAB_RESUME_FILE:+ until the smbstatus snapshot is taken}, then close it"
    step "rename report.txt -> report-renamed.txt"
    step "delete report-renamed.txt"
    step "mkdir newdir"
    step "rmdir newdir"
    step "tree disconnect $share, logoff, close the connection"
    run_session main writer_main "$srv/$share"
    cmp -s "$work/report-v1.txt" "$work/read-1.txt" || die "read 1 of report.txt differs"
    cmp -s "$work/report-v1.txt" "$work/read-2.txt" || die "read 2 of report.txt differs"

    echo "scenario $proto: session 2 on $srv/$second"
    step "tree connect $srv/$second"
    step "put note.txt (120 bytes), get note.txt"
    step "tree disconnect $second, close the connection (no logoff)"
    run_session second writer_second "$srv/$second"
    cmp -s "$work/note.txt" "$work/note-read.txt" || die "note.txt read back differs"

    echo "scenario $proto: session 3 on $srv/IPC\$"
    step "tree connect IPC\$, list shares (srvsvc over IPC\$), tree disconnect, close (smbclient -L)"
    log=$work/ipc.log
    rc=0
    smb -L "$LAB_SERVER_ADDR" </dev/null >"$log" 2>&1 || rc=$?
    sed 's/^/    | /' "$log"
    [ $rc -eq 0 ] || die "share listing failed (rc=$rc), see $log"
    grep -qw "$share" "$log" || die "share listing does not show $share"
    echo "scenario $proto: done"
elif [ "$mode" = hold ]; then
    make_file "$work/hold.txt" 64 "held file"
    writer_hold() {
        echo "put $work/hold.txt hold.txt"
        echo "open hold.txt"
        echo "!sleep $seconds"
        echo "close 1"
        echo "tdis"
        echo "quit"
    }
    echo "hold $proto: session on $srv/$share for ${seconds}s"
    step "tree connect $srv/$share, put hold.txt, open hold.txt"
    step "keep session, tree connect and open file for ${seconds}s"
    step "close, tree disconnect, close the connection"
    run_session hold writer_hold "$srv/$share"
    echo "hold $proto: done"
else
    die "unknown mode $mode (run or hold)"
fi
