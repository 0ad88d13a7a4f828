#!/usr/bin/env bash
# Installs what is needed, builds and starts Tallowmere. Without a display it starts the
# program on a virtual display and writes a screenshot of its window instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/app/quillnet
fi
shot="$PWD/build/tallowmere-screenshot.png"
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."
echo "Starting Tallowmere on a virtual display (Xvfb) and writing a screenshot of its window to:"
echo "  $shot"
TALLOWMERE_SCREENSHOT="$shot" xvfb-run -a -s "-screen 0 1024x768x24" build/app/quillnet
