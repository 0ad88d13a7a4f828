#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite. The network and share test
# beds build namespaces and start servers, which needs root: as a user, ctest runs with sudo.
#
# At the end it lists every test that skipped, with its reason from tests/expected-skips.txt.
# Run as root (as CI does), a skip that the list does not name fails the run: a test bed or
# tool that did not come up must not pass as a skipped test.
#
#   scripts/test.sh                        the whole run
#   scripts/test.sh --check-skips <log>    only the check, on the output of a ctest run
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Prints the skipped tests of a ctest output; fails on skips not on the list when root.
check_skips() {
    local log=$1 strict=$2 unexpected=0 name line pattern reason found
    local -a patterns=() reasons=() skipped=()
    while IFS= read -r line; do
        [[ -z "${line// /}" || "$line" == \#* ]] && continue
        pattern=${line%%[[:space:]]*}
        reason=${line#"$pattern"}
        patterns+=("$pattern")
        reasons+=("${reason#"${reason%%[![:space:]]*}"}")
    done <"$root/tests/expected-skips.txt"
    mapfile -t skipped < <(sed -n -E 's/^[[:space:]]+[0-9]+ - (.*) \((Skipped|Disabled)\)$/\1/p' "$log")
    if [ ${#skipped[@]} -eq 0 ]; then
        echo "skipped tests: none"
        return 0
    fi
    echo "skipped tests (${#skipped[@]}):"
    for name in "${skipped[@]}"; do
        found=""
        for i in "${!patterns[@]}"; do
            if [[ "$name" =~ ${patterns[$i]} ]]; then
                found=${reasons[$i]}
                break
            fi
        done
        if [ -n "$found" ]; then
            echo "  $name: $found"
        else
            echo "  $name: NOT EXPECTED (ctest -R '<name>' -V shows why it skipped)"
            unexpected=$((unexpected + 1))
        fi
    done
    if [ "$strict" = yes ] && [ $unexpected -gt 0 ]; then
        echo "test: $unexpected test(s) skipped that must run as root; fix the cause, or list" \
            "them with their reason in tests/expected-skips.txt when the skip is by design" >&2
        return 1
    fi
    return 0
}

strict=no
if [ "$(id -u)" -eq 0 ]; then strict=yes; fi
if [ "${1:-}" = --check-skips ]; then
    [ -f "${2:-}" ] || { echo "usage: $0 --check-skips <ctest output>" >&2; exit 2; }
    check_skips "$2" "$strict"
    exit
fi

scripts/install-deps.sh
build=${TALLOWMERE_BUILD:-build}
scripts/build.sh "$build" ${TALLOWMERE_CMAKE_ARGS:-}
run=()
if [ "$(id -u)" -ne 0 ]; then run=(sudo --preserve-env=PATH); fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# The picture makers (label "pictures") first and on their own: they write pictures for a
# person to look at and are no tests of behaviour, so the closing count is the behaviour's.
echo "== pictures (written to $build/screenshots and the test folders' pictures/)"
(cd "$build" && "${run[@]}" ctest --output-on-failure --timeout 600 -j"$(nproc)" -L pictures) 2>&1 |
    tee "$log" || status=$?
echo "== tests"
(cd "$build" && "${run[@]}" ctest --output-on-failure --timeout 600 -j"$(nproc)" -LE pictures) 2>&1 |
    tee -a "$log" || status=$?
check_skips "$log" "$strict" || status=1
exit $status
