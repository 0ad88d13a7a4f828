#!/usr/bin/env bash
# Runs the main window's benchmarks and prints their figures: start-up and the ping soak
# directly, the analysis run inside the network test bed (root only).
#   bench/app/run-app-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
"$build/bench/app/app_startup_bench"
"$build/bench/app/app_soak_bench" "${TM_SOAK_RESULTS:-100000}"
if [ "$(id -u)" -ne 0 ]; then
    echo "analysis bench: skipped, the network test bed needs root" >&2
    exit 0
fi
netbed=$here/../../tests/net/netbed.sh
started=no
if ! "$netbed" status >/dev/null 2>&1; then
    "$netbed" up "$build/tests/net/tm_responder"
    started=yes
fi
cleanup() { if [ "$started" = yes ]; then "$netbed" down >/dev/null; fi; }
trap cleanup EXIT
TM_NETBED_CLIENT=tmn-cdg "$here/../../tests/net/inbed.sh" "$build/bench/app/app_analysis_bench"
