#!/usr/bin/env bash
# Figures of the metrics endpoint and the headless prober: serving /metrics, memory over a
# million results, and (inside the network test bed, root only) CPU with 100 hosts and the
# stop during a long time-out.
#   bench/prober/run-prober-bench.sh [BUILD_DIR] [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
seconds=${2:-20}
for f in bench/prober/metrics_serve_bench bench/prober/prober_memory_bench \
    bench/prober/prober_cpu_bench tests/net/tm_responder app/quillnet; do
    [ -x "$build/$f" ] || { echo "run-prober-bench: $build/$f is missing: build it first" >&2; exit 1; }
done
"$build/bench/prober/metrics_serve_bench"
"$build/bench/prober/prober_memory_bench"
if [ "$(id -u)" -ne 0 ]; then
    echo "run-prober-bench: the CPU figures need the network test bed, which needs root" >&2
    exit 0
fi
netbed=$here/../../tests/net/netbed.sh
"$netbed" up "$build/tests/net/tm_responder"
trap '"$netbed" down >/dev/null' EXIT
"$here/../../tests/net/inbed.sh" "$build/bench/prober/prober_cpu_bench" "$seconds"
