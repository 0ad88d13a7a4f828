#!/usr/bin/env bash
# Builds the Debian package of the build folder into a temporary folder and checks what a
# user's dpkg would install: the program in /usr/lib/tallowmere with its link in /usr/bin, the
# desktop file, the icons, the metainfo, the language module when the build made one, the
# prober's service unit (not enabled) and example configuration, and the dependencies on the Qt 6 runtime, libsmbclient and the fonts.
#
#   debcheck.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: debcheck.sh BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
    echo "debcheck: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; fail "cpack failed"; }
deb=$(find "$out" -maxdepth 1 -name 'tallowmere_*.deb' | head -n 1)
[ -n "$deb" ] || fail "cpack made no tallowmere_*.deb"
echo "debcheck: $(basename "$deb")"

contents=$(dpkg-deb -c "$deb")
need() {
    grep -qE "$1" <<<"$contents" || fail "the package lacks $2"
}
need ' \./usr/bin/quillnet -> \.\./lib/tallowmere/quillnet$' "the link /usr/bin/quillnet -> ../lib/tallowmere/quillnet"
need '^-rwxr-xr-x .* \./usr/lib/tallowmere/quillnet$' "the program /usr/lib/tallowmere/quillnet"
need ' \./usr/share/applications/example\.ostrevane\.Tallowmere\.desktop$' "the desktop file"
need ' \./usr/share/metainfo/example\.ostrevane\.Tallowmere\.metainfo\.xml$' "the metainfo"
need ' \./usr/share/icons/hicolor/scalable/apps/example\.ostrevane\.Tallowmere\.svg$' "the scalable icon"
for size in 16 32 48 64 128 256; do
    need " \./usr/share/icons/hicolor/${size}x${size}/apps/example\.ostrevane\.Tallowmere\.png$" "the ${size}px icon"
done
if [ -e "$build/app/quillnet.enu" ]; then
    need ' \./usr/lib/tallowmere/quillnet\.enu$' "the language module beside the program"
fi
need ' \./usr/lib/systemd/system/tallowmere-prober\.service$' "the prober's service unit"
need ' \./usr/share/doc/tallowmere/examples/prober\.ini$' "the prober's example configuration"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/tallowmere-prober.service |
    grep -qx 'ExecStart=/usr/bin/quillnet --headless --config /etc/tallowmere/prober.ini' ||
    fail "the service unit does not start /usr/bin/quillnet headless"
# Installed disabled: no maintainer script enables or starts it.
if dpkg-deb -I "$deb" postinst 2>/dev/null | grep -qE 'enable|start'; then
    fail "the package's postinst enables or starts the prober"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "debcheck: Depends: $depends"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libsmbclient fonts-liberation; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends does not name $package"
done
echo "debcheck: the package holds what an install needs"
