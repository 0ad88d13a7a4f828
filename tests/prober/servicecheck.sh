#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the prober's service unit as systemd
# reads it: it starts the installed program headless with the configuration under /etc, runs
# as a dynamic user with no more than CAP_NET_RAW, and is not enabled by the install.
#
#   servicecheck.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: servicecheck.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "servicecheck: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; fail "install failed"; }
rm -f "$prefix.log"
unit=$prefix/lib/systemd/system/tallowmere-prober.service
[ -f "$unit" ] || fail "no unit at $unit"
[ -f "$prefix/share/doc/tallowmere/examples/prober.ini" ] || fail "no example configuration"
has() {
    grep -qxF "$1" "$unit" || fail "the unit lacks '$1'"
}
has "ExecStart=$prefix/bin/quillnet --headless --config /etc/tallowmere/prober.ini"
has "DynamicUser=yes"
has "CapabilityBoundingSet=CAP_NET_RAW"
has "NoNewPrivileges=yes"
has "ProtectSystem=strict"
has "WantedBy=multi-user.target"
if grep -q '@[A-Z]*@' "$unit"; then fail "an unreplaced placeholder: $(grep '@[A-Z]*@' "$unit")"; fi
# Nothing enables it: no link into a target's wants.
if find "$prefix" -path '*.wants/*' | grep -q .; then fail "the install enables a unit"; fi
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify "$unit" || fail "systemd-analyze verify refuses the unit"
    systemd-analyze security --offline=true --threshold=30 "$unit" >/dev/null ||
        fail "the unit's exposure is above 3.0"
    echo "servicecheck: $(systemd-analyze security --offline=true "$unit" 2>&1 | tail -n 1)"
else
    echo "servicecheck: systemd-analyze is missing, the unit's syntax was not checked"
fi
echo "servicecheck: the installed unit starts $prefix/bin/quillnet headless"
