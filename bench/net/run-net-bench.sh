#!/usr/bin/env bash
# Runs the echo engine's benchmarks inside the network test bed, once in each client
# namespace (datagram and raw socket), and prints their figures. Root only.
#   bench/net/run-net-bench.sh [BUILD_DIR] [accuracy|overhead|parallel|worker|exit|exitlookup]
# Over IPv4 and IPv6. The exit with hanging name look-ups runs in the client whose name server
# never answers: the engine's stop, then the whole exit probe program from its quit to its end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
only=${2:-}
netbed=$here/../../tests/net/netbed.sh
if [ "$(id -u)" -ne 0 ]; then
    echo "run-net-bench: skipped, the network test bed needs root" >&2
    exit 0
fi
for f in "$build/bench/net/net_bench" "$build/tests/net/tm_responder" "$build/tests/net/tm_exitprobe"; do
    [ -x "$f" ] || { echo "run-net-bench: $f is missing: build the targets net_bench, tm_responder and tm_exitprobe" >&2; exit 1; }
done
# Joins a bed that a test run keeps up, or builds one; leaves it as it found it.
"$netbed" up "$build/tests/net/tm_responder"
trap '"$netbed" down >/dev/null' EXIT
if [ "$only" != exitlookup ]; then
    for ns in tmn-cdg tmn-craw; do
        TM_NETBED_CLIENT=$ns "$here/../../tests/net/inbed.sh" "$build/bench/net/net_bench" $only
    done
fi
if [ -z "$only" ] || [ "$only" = exitlookup ]; then
    TM_NETBED_CLIENT=tmn-cdns "$here/../../tests/net/inbed.sh" "$build/bench/net/net_bench" exitlookup
    # The probe quits 300 ms after its start; the whole run includes the process's own end.
    for mode in "" --lookups; do
        start=$(date +%s%N)
        out=$(ip netns exec tmn-cdns "$build/tests/net/tm_exitprobe" $mode)
        whole=$((($(date +%s%N) - start) / 1000000))
        quit=$(sed -n 's/^after the application: .*, \([0-9]*\) ms after the quit/\1/p' <<<"$out")
        echo "exit probe ${mode:-(echo waits)}: workers stopped ${quit} ms after the quit, whole" \
            "process ${whole} ms from its start (quits at 300 ms)  [target: end < 1000 ms after the quit]"
    done
fi
