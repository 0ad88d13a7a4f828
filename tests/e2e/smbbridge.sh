#!/usr/bin/env bash
# Lets one client namespace of the network test bed reach the Samba test bed's server, for the
# end-to-end run of the installed program (which can live in one namespace only).
#
#   smbbridge.sh up SMBBED_ENVFILE NETNS     link NETNS to the Samba bed's client namespace
#   smbbridge.sh down SMBBED_ENVFILE NETNS   remove the link, restore what "up" changed
#
# A veth pair joins NETNS to the Samba client namespace. NETNS gets the address .20 of the
# Samba link (unused by the bed) and a host route to the server; the Samba client namespace
# forwards and answers ARP for both sides (proxy ARP), so the server namespace is left as it is
# and sees a neighbour on its own link. Only the two client namespaces change; the machine's
# own namespace never does.
set -euo pipefail

die() {
    echo "smbbridge: $*" >&2
    exit 1
}

[ $# -eq 3 ] || die "usage: $0 up|down SMBBED_ENVFILE NETNS"
cmd=$1 envfile=$2 netns=$3
[ -f "$envfile" ] || die "no Samba bed described in $envfile"
# shellcheck disable=SC1090
. "$envfile"
[ -z "${UNAVAILABLE:-}" ] || die "the Samba bed is not up: $UNAVAILABLE"
[ -e "/run/netns/$netns" ] || die "namespace $netns is missing (is the network test bed up?)"

near=tm-e2e-smb # in NETNS
far=tm-e2e-net  # in the Samba client namespace
addr=${SERVER_ADDR%.*}.20
state=$STATE_DIR/e2e-bridge.state

sc() { ip netns exec "$CLIENT_NS" sysctl -n "$1"; }

down() {
    ip -n "$netns" link del "$near" 2>/dev/null || true
    if [ -f "$state" ]; then
        # shellcheck disable=SC1090
        . "$state"
        ip netns exec "$CLIENT_NS" sysctl -qw net.ipv4.ip_forward="$FORWARD" \
            "net.ipv4.conf.$CLIENT_IF.proxy_arp=$PROXY_ARP" || true
        rm -f "$state"
    fi
}

up() {
    down
    printf 'FORWARD=%s\nPROXY_ARP=%s\n' "$(sc net.ipv4.ip_forward)" \
        "$(sc "net.ipv4.conf.$CLIENT_IF.proxy_arp")" >"$state"
    trap 'down' ERR
    ip -n "$netns" link add "$near" type veth peer name "$far" netns "$CLIENT_NS"
    ip -n "$netns" addr add "$addr/32" dev "$near"
    ip -n "$netns" link set "$near" up
    ip -n "$CLIENT_NS" link set "$far" up
    ip -n "$netns" route add "$SERVER_ADDR/32" dev "$near" src "$addr"
    ip -n "$CLIENT_NS" route add "$addr/32" dev "$far"
    ip netns exec "$CLIENT_NS" sysctl -qw net.ipv4.ip_forward=1 \
        "net.ipv4.conf.$far.proxy_arp=1" "net.ipv4.conf.$CLIENT_IF.proxy_arp=1"
    # The share port answers through the link before the program is started.
    for _ in $(seq 1 50); do
        if ip netns exec "$netns" bash -c "exec 3<>/dev/tcp/$SERVER_ADDR/445" 2>/dev/null; then
            trap - ERR
            echo "smbbridge: $netns ($addr) reaches $SERVER_ADDR:445"
            return 0
        fi
        sleep 0.1
    done
    down
    die "$netns cannot reach $SERVER_ADDR:445 through the link"
}

case "$cmd" in
up) up ;;
down) down ;;
*) die "unknown command $cmd" ;;
esac
