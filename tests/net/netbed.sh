#!/usr/bin/env bash
# Builds or removes the network test bed (see netbed.h for the map). Root only; the root
# namespace of the machine is never changed: every link is created inside the bed's own
# namespaces, and /etc/netns/tmn-* only affects programs started with "ip netns exec tmn-*".
#
#   netbed.sh up RESPONDER   build the bed and start RESPONDER, or join a bed that is up
#   netbed.sh down           leave the bed; the last one out removes everything it made
#   netbed.sh reset          remove the bed whoever uses it
#   netbed.sh status         exit 0 when the bed is up and its responder runs
# Two test runs at once (two build folders) share one bed instead of tearing down each
# other's; a lock orders their ups and downs.
set -euo pipefail

NAMESPACES=(tmn-cdg tmn-craw tmn-cdns tmn-rtr tmn-tgt tmn-rsp)
STATE=/run/tmn-netbed
USERS=/run/tmn-netbed.users
LOCK=/run/tmn-netbed.lock

log() { echo "netbed: $*"; }

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        log "skipped: building network namespaces needs root (the bed tests skip themselves)"
        exit 0
    fi
}

in_ns() { local ns=$1; shift; ip netns exec "$ns" "$@"; }

# The IPv6 twin of a bed address: 10.201.X.Y becomes fd10:201:X::Y (prefix /64 for /24).
v6() {
    local a=${1%/*} x y
    IFS=. read -r _ _ x y <<<"$a"
    if [ "$1" != "$a" ]; then echo "fd10:201:$x::$y/64"; else echo "fd10:201:$x::$y"; fi
}

# veth pair created directly between two bed namespaces: nothing appears in the root one.
# Both ends get the IPv6 twin of their address too, unless the MTU is below IPv6's 1280.
link() {
    local ns_a=$1 if_a=$2 addr_a=$3 ns_b=$4 if_b=$5 addr_b=$6 mtu=${7:-1500}
    ip -n "$ns_a" link add "$if_a" mtu "$mtu" type veth peer name "$if_b" mtu "$mtu" netns "$ns_b"
    ip -n "$ns_a" addr add "$addr_a" dev "$if_a"
    ip -n "$ns_b" addr add "$addr_b" dev "$if_b"
    if [ "$mtu" -ge 1280 ]; then
        ip -n "$ns_a" -6 addr add "$(v6 "$addr_a")" dev "$if_a" nodad
        ip -n "$ns_b" -6 addr add "$(v6 "$addr_b")" dev "$if_b" nodad
    fi
    ip -n "$ns_a" link set "$if_a" up
    ip -n "$ns_b" link set "$if_b" up
}

client_files() {
    local ns=$1
    mkdir -p "/etc/netns/$ns"
    cat >"/etc/netns/$ns/hosts" <<'EOF'
127.0.0.1	localhost
::1	localhost6
10.201.10.2	target.tmn.test tmn-target
fd10:201:10::2	target.tmn.test tmn-target
fd10:201:10::2	target6.tmn.test tmn-target6
10.201.11.2	smallmtu.tmn.test tmn-smallmtu
fd10:201:12::2	smallmtu6.tmn.test tmn-smallmtu6
10.201.20.2	responder.tmn.test tmn-responder
fd10:201:20::2	responder.tmn.test tmn-responder
10.201.20.20	delay20.tmn.test tmn-delay20
10.201.20.150	delay150.tmn.test tmn-delay150
10.201.20.30	drop.tmn.test tmn-drop
10.201.42.1	blackhole.tmn.test tmn-blackhole
10.201.1.1	router.tmn.test
10.201.2.1	router.tmn.test
10.201.3.1	router.tmn.test
fd10:201:1::1	router.tmn.test
fd10:201:2::1	router.tmn.test
fd10:201:3::1	router.tmn.test
255.255.255.255	broadcast.tmn.test
EOF
    if [ "$ns" = tmn-cdns ]; then
        # A name server that never answers (behind the router's blackhole): every look-up the
        # hosts file cannot answer hangs for 30 s.
        printf 'nameserver 10.201.42.53\noptions timeout:30 attempts:1\n' >"/etc/netns/$ns/resolv.conf"
    else
        # Name look-ups that the hosts file cannot answer end at the namespace's own loopback.
        printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$ns/resolv.conf"
    fi
}

lock() {
    exec 9>"$LOCK"
    flock 9
}

healthy() {
    local ns pid
    for ns in "${NAMESPACES[@]}"; do [ -e "/run/netns/$ns" ] || return 1; done
    pid=$(cat "$STATE/responder.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && grep -qa -- "--ready" "/proc/$pid/cmdline" 2>/dev/null
}

users() { cat "$USERS" 2>/dev/null || echo 0; }

stop_responder() {
    local pidfile=$STATE/responder.pid pid
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    # Only the process this bed started, recognised by its command line.
    if [ -n "$pid" ] && grep -qa -- "--ready" "/proc/$pid/cmdline" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
}

teardown() {
    stop_responder
    for ns in "${NAMESPACES[@]}"; do
        if [ -e "/run/netns/$ns" ]; then
            ip netns del "$ns"
        fi
        rm -rf "/etc/netns/$ns"
    done
    rm -rf "$STATE" "$USERS"
}

down() {
    need_root
    lock
    local n=$(($(users) - 1))
    if [ "$n" -gt 0 ] && healthy; then
        echo "$n" >"$USERS"
        log "left up for $n other user(s)"
        return
    fi
    teardown
    log "down"
}

reset() {
    need_root
    lock
    teardown
    log "down"
}

up() {
    need_root
    local responder=${1:?usage: netbed.sh up RESPONDER}
    [ -x "$responder" ] || { log "responder '$responder' is not an executable file"; exit 1; }
    lock
    if healthy; then
        echo $(($(users) + 1)) >"$USERS"
        log "up already, shared by $(users) user(s)"
        return
    fi
    teardown
    mkdir -p "$STATE"
    trap 'log "failed, removing the half-built bed"; teardown' ERR

    for ns in "${NAMESPACES[@]}"; do
        ip netns add "$ns"
        ip -n "$ns" link set lo up
        # Big datagrams of many workers at once must not run out of reassembly memory.
        in_ns "$ns" sysctl -qw net.ipv4.ipfrag_high_thresh=67108864
        in_ns "$ns" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
        # Addresses usable at once, link-local ones included: no duplicate address detection.
        in_ns "$ns" sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
        in_ns "$ns" sysctl -qw net.ipv6.ip6frag_high_thresh=67108864
    done

    link tmn-rtr r-cdg 10.201.1.1/24 tmn-cdg eth0 10.201.1.2/24
    link tmn-rtr r-craw 10.201.2.1/24 tmn-craw eth0 10.201.2.2/24
    link tmn-rtr r-tgt 10.201.10.1/24 tmn-tgt eth0 10.201.10.2/24
    link tmn-rtr r-mtu 10.201.11.1/24 tmn-tgt eth1 10.201.11.2/24 1000
    link tmn-rtr r-rsp 10.201.19.1/24 tmn-rsp eth0 10.201.19.2/24
    link tmn-rtr r-cdns 10.201.3.1/24 tmn-cdns eth0 10.201.3.2/24
    # IPv6 needs at least 1280: its small-MTU link is a link of its own.
    link tmn-rtr r-mtu6 10.201.12.1/24 tmn-tgt eth2 10.201.12.2/24 1280
    # The router's end of each client link also answers at a fixed link-local address.
    for dev in r-cdg r-craw r-cdns; do
        ip -n tmn-rtr -6 addr add fe80::1/64 dev "$dev" nodad
    done

    # Router: forwards, and sends every "time exceeded" and "fragmentation needed" at once. An
    # empty mask keeps the ICMP limiter away from the per-client token bucket that the
    # unreachable and prohibit routes draw on (icmp_ratelimit=0 would empty that bucket).
    in_ns tmn-rtr sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratemask=0
    ip -n tmn-rtr route add unreachable 10.201.40.0/24
    ip -n tmn-rtr route add prohibit 10.201.41.0/24
    ip -n tmn-rtr route add blackhole 10.201.42.0/24
    ip -n tmn-rtr route add 10.201.20.0/24 via 10.201.19.2
    # The same for IPv6, whose error limiter is simply off.
    in_ns tmn-rtr sysctl -qw net.ipv6.conf.all.forwarding=1 net.ipv6.icmp.ratelimit=0
    ip -n tmn-rtr -6 route add unreachable fd10:201:40::/64
    ip -n tmn-rtr -6 route add prohibit fd10:201:41::/64
    ip -n tmn-rtr -6 route add blackhole fd10:201:42::/64
    ip -n tmn-rtr -6 route add fd10:201:20::/64 via fd10:201:19::2

    # Clients: only the bed's own range, through the router; ping sockets open in one only.
    ip -n tmn-cdg route add 10.201.0.0/16 via 10.201.1.1
    ip -n tmn-craw route add 10.201.0.0/16 via 10.201.2.1
    ip -n tmn-cdns route add 10.201.0.0/16 via 10.201.3.1
    ip -n tmn-cdg -6 route add fd10:201::/32 via fd10:201:1::1
    ip -n tmn-craw -6 route add fd10:201::/32 via fd10:201:2::1
    ip -n tmn-cdns -6 route add fd10:201::/32 via fd10:201:3::1
    # One range governs ICMP and ICMPv6 datagram sockets alike.
    in_ns tmn-cdg sysctl -qw net.ipv4.ping_group_range="0 2147483647"
    in_ns tmn-cdns sysctl -qw net.ipv4.ping_group_range="0 2147483647"
    in_ns tmn-craw sysctl -qw net.ipv4.ping_group_range="1 0"
    client_files tmn-cdg
    client_files tmn-craw
    client_files tmn-cdns

    ip -n tmn-tgt route add 10.201.0.0/16 via 10.201.10.1 dev eth0
    ip -n tmn-tgt -6 route add fd10:201::/32 via fd10:201:10::1 dev eth0

    # Responder host: every 10.201.20.x is local (its link to the router lies in another
    # subnet), and the kernel leaves echoes alone.
    ip -n tmn-rsp route add local 10.201.20.0/24 dev lo
    ip -n tmn-rsp route add 10.201.0.0/16 via 10.201.19.1
    in_ns tmn-rsp sysctl -qw net.ipv4.icmp_echo_ignore_all=1
    ip -n tmn-rsp -6 route add local fd10:201:20::/64 dev lo
    ip -n tmn-rsp -6 route add fd10:201::/32 via fd10:201:19::1
    in_ns tmn-rsp sysctl -qw net.ipv6.icmp.echo_ignore_all=1 net.ipv6.icmp.ratelimit=0

    rm -f "$STATE/responder.pid"
    # Without the lock's descriptor, or the responder would hold the lock for its whole life.
    setsid ip netns exec tmn-rsp "$responder" --ready "$STATE/responder.pid" \
        </dev/null >"$STATE/responder.log" 2>&1 9>&- &
    for _ in $(seq 100); do
        [ -s "$STATE/responder.pid" ] && break
        sleep 0.05
    done
    if [ ! -s "$STATE/responder.pid" ]; then
        log "the responder did not start:"
        cat "$STATE/responder.log" || true
        false
    fi

    # Both kinds of peer answer over both protocols before a test may start (the first IPv6
    # echo also settles neighbour discovery, which on a loaded machine can outlast one try).
    for client in tmn-cdg tmn-craw tmn-cdns; do
        for target in 10.201.10.2 10.201.20.2 fd10:201:10::2 fd10:201:20::2; do
            if ! in_ns "$client" ping -q -c 1 -i 0.5 -w 10 "$target" >/dev/null; then
                log "$client cannot reach $target"
                false
            fi
        done
    done
    trap - ERR
    echo 1 >"$USERS"
    log "up (responder pid $(cat "$STATE/responder.pid"))"
}

case "${1:-}" in
up) shift; up "$@" ;;
down) down ;;
reset) reset ;;
status) healthy ;;
*) echo "usage: $0 up RESPONDER | down | reset | status" >&2; exit 2 ;;
esac
