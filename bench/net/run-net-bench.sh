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
# Joins a bed that a test run keeps up, or builds one; leaves it as it found it.
"$netbed" up "$build/tests/net/tm_responder"
trap '"$netbed" down >/dev/null' EXIT
for ns in tmn-cdg tmn-craw; do
    TM_NETBED_CLIENT=$ns "$here/../../tests/net/inbed.sh" "$build/bench/net/net_bench" $only
done
