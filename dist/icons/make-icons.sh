#!/usr/bin/env bash
# Redraws the icon files under dist/icons/hicolor from mkicons.cpp (run by hand after a change).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC -O1 -o "$tmp/mkicons" "$here/mkicons.cpp" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$tmp/mkicons" "$here/hicolor" example.ostrevane.Tallowmere
find "$here/hicolor" -type f | sort
