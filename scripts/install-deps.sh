#!/usr/bin/env bash
# Installs everything the build, the program and the test beds need on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-gtk-platformtheme
    libsmbclient-dev libkrb5-dev
    # metrics endpoint (pull exposer) and the Prometheus server its integration test scrapes with
    prometheus-cpp-dev prometheus
    fonts-liberation fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
    # test beds: namespaces, a real Samba server and its client (python3: a listener that never
    # answers), a virtual display
    iproute2 iputils-ping procps samba smbclient python3 xvfb xauth xdotool x11-utils
    xdg-utils appstream desktop-file-utils file
    # end-to-end run: screenshots (import), the German and English glibc locales
    imagemagick locales-all
    # the Debian package: dpkg-shlibdeps finds its library dependencies
    dpkg-dev
    # scripts/format-check.sh
    clang-format
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The Prometheus integration test starts its own server; a daemon that the package has just
# started (listening on every interface) is not wanted here.
if [[ " ${missing[*]-} " == *" prometheus "* ]] && command -v systemctl >/dev/null 2>&1 &&
    systemctl is-active --quiet prometheus 2>/dev/null; then
    $SUDO systemctl disable --now prometheus 2>/dev/null || true
fi
# The distribution's smbd service would hold port 445 and the test beds start their own.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet smbd 2>/dev/null; then
    $SUDO systemctl stop smbd nmbd 2>/dev/null || true
fi
