#!/usr/bin/env bash
# Builds and runs every benchmark and prints their figures. The network and share benchmarks
# build their own test beds and need root.
#   scripts/bench.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/build.sh "$build"
echo "== trend graph"; "$build/bench/graph/graph_bench"
echo "== main window"; bench/app/run-app-bench.sh "$build"
echo "== echo engine"; bench/net/run-net-bench.sh "$build"
echo "== metrics and the headless prober"; bench/prober/run-prober-bench.sh "$build"
echo "== copy to a share"
if [ "$(id -u)" -eq 0 ]; then "$build/bench/smb/smb_copy_bench"; else echo "skipped: needs root"; fi
