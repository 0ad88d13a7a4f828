#!/usr/bin/env bash
# Runs the echo engine's benchmarks inside the network test bed, once in each client
# namespace (datagram and raw socket), and prints their figures. Root only.
#   bench/net/run-net-bench.sh [BUILD_DIR] [accuracy|overhead|parallel|worker|exit]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
only=${2:-}
netbed=$here/../../tests/net/netbed.sh
if [ "$(id -u)" -ne 0 ]; then
    echo "run-net-bench: skipped, the network test bed needs root" >&2
    exit 0
fi
for f in "$build/bench/net/net_bench" "$build/tests/net/tm_responder"; do
    [ -x "$f" ] || { echo "run-net-bench: $f is missing: build the targets net_bench and tm_responder" >&2; exit 1; }
done
started=no
if ! "$netbed" status; then
    "$netbed" up "$build/tests/net/tm_responder"
    started=yes
fi
cleanup() { if [ "$started" = yes ]; then "$netbed" down >/dev/null; fi; }
trap cleanup EXIT
for ns in tmn-cdg tmn-craw; do
    TM_NETBED_CLIENT=$ns "$here/../../tests/net/inbed.sh" "$build/bench/net/net_bench" $only
done
