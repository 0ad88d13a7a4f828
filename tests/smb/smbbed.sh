#!/usr/bin/env bash
# A throwaway Samba server in its own network namespace, for the copy tests and benchmarks.
#
#   smbbed.sh start ENVFILE         build the bed, start smbd, write its facts to ENVFILE
#   smbbed.sh stop ENVFILE          stop smbd, remove namespaces, state folder and ENVFILE
#   smbbed.sh server-stop ENVFILE   stop smbd only (the bed stays)
#   smbbed.sh server-start ENVFILE  start smbd again
#   smbbed.sh shape ENVFILE PROFILE limit the link both ways: 0.5mbit, 2mbit, 10mbit, 100mbit,
#                                   1gbit (a token bucket on each end of the veth pair) or off
#   smbbed.sh stall ENVFILE         the link drops every packet both ways (connections stay up)
#   smbbed.sh freeze ENVFILE        stop smbd and its connection processes (SIGSTOP)
#   smbbed.sh resume ENVFILE        undo stall and freeze; the link gets its profile back
#   smbbed.sh exec ENVFILE CMD...   run CMD in the client namespace
#
# MUTE_ADDR is a listener on port 445 that accepts connections and never answers.
#
# Everything lives in namespaces named tms-*, with addresses in 10.202.N.0/24, so the machine's
# own namespace and every other test bed stay untouched. Only the PID that this script started
# is ever signalled.
set -euo pipefail

die() {
    echo "smbbed: $*" >&2
    exit 1
}

load() {
    [ -f "$1" ] || die "no bed described in $1"
    # shellcheck disable=SC1090
    . "$1"
}

set_var() { # file key value: replace the key's line
    local file=$1 key=$2 value=$3
    sed -i "s|^$key=.*|$key=$value|" "$file"
}

listening() { # [ADDR]: is something accepting on the share port (of smbd by default)?
    ip netns exec "$SERVER_NS" bash -c "exec 3<>/dev/tcp/${1:-$SERVER_ADDR}/445" 2>/dev/null
}

await_listener() { # PID ADDR NAME: until PID listens on ADDR:445, for 10 s at most
    local pid=$1 addr=$2 name=$3
    for _ in $(seq 1 100); do
        if listening "$addr"; then
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || die "$name ended at start, see $STATE_DIR/log"
        sleep 0.1
    done
    die "$name does not listen on $addr:445 after 10 s"
}

server_start() {
    local envfile=$1
    load "$envfile"
    if [ -n "${SMBD_PID:-}" ] && kill -0 "$SMBD_PID" 2>/dev/null; then
        return 0
    fi
    # ip netns exec and setsid replace themselves with smbd, so $! is smbd's own PID. smbd
    # signals its whole process group when it is stopped: setsid gives it a group of its own,
    # or it would take ctest and this script down with it.
    ip netns exec "$SERVER_NS" setsid /usr/sbin/smbd --foreground --no-process-group \
        --configfile="$STATE_DIR/smb.conf" </dev/null >>"$STATE_DIR/log/smbd.out" 2>&1 &
    local pid=$!
    set_var "$envfile" SMBD_PID "$pid"
    SMBD_PID=$pid
    await_listener "$pid" "$SERVER_ADDR" smbd
}

server_stop() {
    local envfile=$1
    load "$envfile"
    local pid=${SMBD_PID:-}
    [ -n "$pid" ] || return 0
    thaw "$envfile"
    if kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid"
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    fi
    set_var "$envfile" SMBD_PID ""
    # The connection children of smbd end with their parent; wait until nothing answers.
    for _ in $(seq 1 50); do
        listening || return 0
        sleep 0.1
    done
    die "something still answers on $SERVER_ADDR:445 after smbd $pid ended"
}

bed_stop() {
    local envfile=$1
    [ -f "$envfile" ] || return 0
    load "$envfile"
    server_stop "$envfile" || true
    mute_stop "$envfile"
    ip netns del "$CLIENT_NS" 2>/dev/null || true
    ip netns del "$SERVER_NS" 2>/dev/null || true
    case "$STATE_DIR" in
    /tmp/tms-smbbed.*) rm -rf "$STATE_DIR" ;;
    esac
    rm -f "$envfile"
}

bed_start() {
    local envfile=$1
    [ "$(id -u)" -eq 0 ] || {
        echo "UNAVAILABLE='the Samba test bed needs root (network namespaces)'" >"$envfile"
        echo "smbbed: not root, copy tests against the share will be skipped"
        return 0
    }
    command -v smbd >/dev/null || die "smbd is missing (Debian package samba)"
    # A bed left behind by an interrupted run goes first.
    bed_stop "$envfile"

    local n=""
    for i in $(seq 1 254); do
        if ip netns add "tms-s$i" 2>/dev/null; then
            n=$i
            break
        fi
    done
    [ -n "$n" ] || die "no free tms-s namespace index"
    local sns="tms-s$n" cns="tms-c$n"
    local dir
    dir=$(mktemp -d /tmp/tms-smbbed.XXXXXX)
    chmod 0755 "$dir"
    cat >"$envfile" <<EOF
SCRIPT=$(readlink -f "$0")
STATE_DIR=$dir
SERVER_NS=$sns
CLIENT_NS=$cns
SERVER_ADDR=10.202.$n.1
CLIENT_ADDR=10.202.$n.2
ABSENT_ADDR=10.202.$n.3
SILENT_ADDR=10.202.$n.200
MUTE_ADDR=10.202.$n.4
SERVER_IF=tms-vs$n
CLIENT_IF=tms-vc$n
WRITABLE_SHARE=rw
READONLY_SHARE=ro
AUTH_SHARE=auth
AUTH_USER=daemon
AUTH_PASSWORD=tms-secret-$n
WRITABLE_DIR=$dir/share-rw
READONLY_DIR=$dir/share-ro
AUTH_DIR=$dir/share-auth
SMBD_PID=
MUTE_PID=
PROFILE=off
FROZEN=
EOF
    load "$envfile"
    trap 'bed_stop "$envfile"' ERR

    ip netns add "$cns"
    # The pair is made inside the server namespace, so the machine's namespace never holds it.
    ip -n "$sns" link add "$SERVER_IF" type veth peer name "$CLIENT_IF" netns "$cns"
    ip -n "$sns" addr add "$SERVER_ADDR/24" dev "$SERVER_IF"
    ip -n "$cns" addr add "$CLIENT_ADDR/24" dev "$CLIENT_IF"
    ip -n "$sns" addr add "$MUTE_ADDR/24" dev "$SERVER_IF"
    ip -n "$sns" link set lo up
    ip -n "$cns" link set lo up
    ip -n "$sns" link set "$SERVER_IF" up
    ip -n "$cns" link set "$CLIENT_IF" up
    # ABSENT_ADDR: nothing behind it, ARP goes unanswered. SILENT_ADDR and its /25: routed to
    # the server namespace, which drops them without a word (a server that never answers).
    ip -n "$cns" route add "10.202.$n.128/25" via "$SERVER_ADDR"
    ip netns exec "$sns" sysctl -q -w net.ipv4.ip_forward=1
    ip -n "$sns" route add blackhole "10.202.$n.128/25"

    mkdir -p "$dir"/{private,lock,state,cache,pid,ncalrpc,binddns,log}
    mkdir -p "$WRITABLE_DIR" "$READONLY_DIR" "$AUTH_DIR"
    chown nobody:nogroup "$WRITABLE_DIR"
    chmod 0777 "$WRITABLE_DIR"
    chown "$AUTH_USER" "$AUTH_DIR"
    chmod 0755 "$AUTH_DIR"
    echo "present before the tests" >"$READONLY_DIR/existing.txt"
    chmod 0755 "$READONLY_DIR"

    cat >"$dir/smb.conf" <<EOF
[global]
    server role = standalone server
    workgroup = TMSBED
    netbios name = TMSBED$n
    interfaces = $SERVER_ADDR/24
    bind interfaces only = yes
    smb ports = 445
    disable netbios = yes
    lock directory = $dir/lock
    state directory = $dir/state
    cache directory = $dir/cache
    pid directory = $dir/pid
    private dir = $dir/private
    ncalrpc dir = $dir/ncalrpc
    binddns dir = $dir/binddns
    log file = $dir/log/log.%m
    log level = 1
    passdb backend = tdbsam:$dir/private/passdb.tdb
    map to guest = Bad User
    guest account = nobody
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    usershare max shares = 0
    obey pam restrictions = no

[$WRITABLE_SHARE]
    path = $WRITABLE_DIR
    guest ok = yes
    guest only = yes
    read only = no

[$READONLY_SHARE]
    path = $READONLY_DIR
    guest ok = yes
    read only = yes

[$AUTH_SHARE]
    path = $AUTH_DIR
    guest ok = no
    valid users = $AUTH_USER
    read only = no
EOF
    # The account lives only in this bed's own password database.
    printf '%s\n%s\n' "$AUTH_PASSWORD" "$AUTH_PASSWORD" |
        smbpasswd -c "$dir/smb.conf" -s -a "$AUTH_USER" >>"$dir/log/smbpasswd.out" 2>&1

    server_start "$envfile"
    mute_start "$envfile"
    trap - ERR
    echo "smbbed: smbd $SMBD_PID serves //$SERVER_ADDR/$WRITABLE_SHARE in $sns"
}

# The listener behind MUTE_ADDR: takes every connection and holds it without a word.
mute_start() {
    local envfile=$1
    load "$envfile"
    ip netns exec "$SERVER_NS" setsid python3 -c '
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], 445))
s.listen(64)
held = []
while True:
    held.append(s.accept()[0])
' "$MUTE_ADDR" </dev/null >>"$STATE_DIR/log/mute.out" 2>&1 &
    local pid=$!
    set_var "$envfile" MUTE_PID "$pid"
    await_listener "$pid" "$MUTE_ADDR" "the mute listener"
}

mute_stop() {
    local envfile=$1
    load "$envfile"
    local pid=${MUTE_PID:-}
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    set_var "$envfile" MUTE_PID ""
}

# Token bucket per profile. The bucket holds about 2 ms of traffic (at least 4 KiB, so a full
# frame always fits), which keeps the free start of every transfer small against its size.
profile_rate() {
    case "$1" in
    0.5mbit) echo 500kbit ;;
    2mbit | 10mbit | 100mbit | 1gbit) echo "$1" ;;
    *) return 1 ;;
    esac
}

profile_burst() { # bytes
    local bits
    case "$1" in
    0.5mbit) bits=500000 ;;
    2mbit) bits=2000000 ;;
    10mbit) bits=10000000 ;;
    100mbit) bits=100000000 ;;
    1gbit) bits=1000000000 ;;
    esac
    local burst=$((bits / 8 / 500))
    [ "$burst" -ge 4096 ] || burst=4096
    echo "$burst"
}

# Puts the link's qdisc on both ends: the current profile, or dropping everything.
apply_link() {
    local envfile=$1 mode=$2
    load "$envfile"
    for side in "$SERVER_NS:$SERVER_IF" "$CLIENT_NS:$CLIENT_IF"; do
        local ns=${side%%:*} dev=${side#*:}
        if [ "$mode" = drop ]; then
            ip netns exec "$ns" tc qdisc replace dev "$dev" root pfifo limit 0
        elif [ "$PROFILE" = off ]; then
            ip netns exec "$ns" tc qdisc del dev "$dev" root 2>/dev/null || true
        else
            ip netns exec "$ns" tc qdisc replace dev "$dev" root tbf rate "$(profile_rate "$PROFILE")" \
                burst "$(profile_burst "$PROFILE")" latency 200ms
        fi
    done
}

shape() {
    local envfile=$1 profile=$2
    [ "$profile" = off ] || profile_rate "$profile" >/dev/null ||
        die "unknown link profile $profile (0.5mbit 2mbit 10mbit 100mbit 1gbit off)"
    load "$envfile"
    set_var "$envfile" PROFILE "$profile"
    apply_link "$envfile" shaped
}

# smbd was started with a process group of its own; its connection processes share it.
freeze() {
    local envfile=$1
    load "$envfile"
    [ -n "${SMBD_PID:-}" ] || die "smbd is not running"
    kill -STOP -- "-$SMBD_PID"
    set_var "$envfile" FROZEN yes
}

thaw() {
    local envfile=$1
    load "$envfile"
    if [ -n "${FROZEN:-}" ] && [ -n "${SMBD_PID:-}" ]; then
        kill -CONT -- "-$SMBD_PID" 2>/dev/null || true
    fi
    set_var "$envfile" FROZEN ""
}

[ $# -ge 2 ] || die "usage: $0 start|stop|server-stop|server-start|shape|stall|freeze|resume|exec ENVFILE ..."
cmd=$1
envfile=$2
shift 2
case "$cmd" in
start) bed_start "$envfile" ;;
stop) bed_stop "$envfile" ;;
server-stop) server_stop "$envfile" ;;
server-start) server_start "$envfile" ;;
shape) shape "$envfile" "${1:?profile}" ;;
stall) apply_link "$envfile" drop ;;
freeze) freeze "$envfile" ;;
resume)
    thaw "$envfile"
    apply_link "$envfile" shaped
    ;;
exec)
    load "$envfile"
    exec ip netns exec "$CLIENT_NS" "$@"
    ;;
*) die "unknown command $cmd" ;;
esac
