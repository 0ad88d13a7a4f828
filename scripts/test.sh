#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite. The network and share test
# beds build namespaces and start servers, which needs root: as a user, ctest runs with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${TALLOWMERE_BUILD:-build}
scripts/build.sh "$build" ${TALLOWMERE_CMAKE_ARGS:-}
run=()
if [ "$(id -u)" -ne 0 ]; then run=(sudo --preserve-env=PATH); fi
cd "$build"
"${run[@]}" ctest --output-on-failure --timeout 600 -j"$(nproc)"
