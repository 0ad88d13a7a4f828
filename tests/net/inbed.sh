#!/usr/bin/env bash
# Runs a test program inside a client namespace of the network test bed:
#   TM_NETBED_CLIENT=tmn-cdg|tmn-craw|tmn-cdns inbed.sh PROGRAM [ARGS...]   (default tmn-cdg)
# Listing the tests needs no bed. Without root the program runs as it is and its bed tests
# skip themselves with the reason below.
set -euo pipefail

ns=${TM_NETBED_CLIENT:-tmn-cdg}
for arg in "$@"; do
    if [ "$arg" = "--gtest_list_tests" ]; then
        exec "$@"
    fi
done
if [ "$(id -u)" -ne 0 ]; then
    export TM_NETBED_SKIP="needs root: the network test bed is built from network namespaces"
    exec "$@"
fi
case "$ns" in
tmn-cdg | tmn-craw | tmn-cdns) ;;
*) echo "inbed.sh: '$ns' is no client namespace of the bed" >&2; exit 2 ;;
esac
if [ ! -e "/run/netns/$ns" ]; then
    echo "inbed.sh: the network test bed is not up ($ns is missing); ctest builds it through" \
        "the tmn_netbed fixture, by hand: tests/net/netbed.sh up <build>/tests/net/tm_responder" >&2
    exit 1
fi
exec ip netns exec "$ns" env TM_NETBED_INSIDE="$ns" "$@"
