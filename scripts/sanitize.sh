#!/usr/bin/env bash
# The test suite under the sanitizers, each in a build folder of its own:
#
#   scripts/sanitize.sh [asan|tsan|all]     (default all)
#
#   asan  build-asan/: everything with AddressSanitizer + UndefinedBehaviorSanitizer, the whole
#         suite (the end-to-end run included: it installs and starts the sanitized program)
#         except the tests labelled "slow" (copies over slow links, throughput figures), which the
#         plain suite runs.
#   tsan  build-tsan/: the echo engine and the ping worker with ThreadSanitizer, their unit
#         tests and their tests against the network bed, both socket kinds. The rest of the
#         suite drives Qt widgets from one thread and would only test the uninstrumented Qt.
#
# The first finding ends the test program with an error (halt_on_error), so a finding fails
# the suite. Leaks are reported by LeakSanitizer at every program's exit; scripts/lsan.supp
# lists the few system libraries whose caches are never freed, scripts/tsan.supp the places
# where ThreadSanitizer cannot see Qt's own synchronisation.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
what=${1:-all}
case "$what" in
asan | tsan | all) ;;
*) echo "usage: $0 [asan|tsan|all]" >&2; exit 2 ;;
esac

scripts/install-deps.sh
run=()
if [ "$(id -u)" -ne 0 ]; then
    run=(sudo --preserve-env=PATH,ASAN_OPTIONS,UBSAN_OPTIONS,LSAN_OPTIONS,TSAN_OPTIONS)
fi
jobs=$(nproc)

if [ "$what" = asan ] || [ "$what" = all ]; then
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer: build-asan/"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DTALLOWMERE_SANITIZE=address,undefined >/dev/null
    cmake --build build-asan -j"$jobs"
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_init_order=1:check_initialization_order=1:detect_stack_use_after_return=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    (cd build-asan && "${run[@]}" ctest --output-on-failure --timeout 900 -j"$jobs" -LE slow)
    unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
fi

if [ "$what" = tsan ] || [ "$what" = all ]; then
    echo "== ThreadSanitizer: build-tsan/ (echo engine and ping worker)"
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLOWMERE_SANITIZE=thread >/dev/null
    cmake --build build-tsan -j"$jobs" --target net_unit_tests net_bed_tests tm_responder
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp"
    # The engine's unit tests and its tests against the network bed (both socket kinds); ctest
    # builds the bed around the latter.
    suites=$(build-tsan/tests/net/net_unit_tests --gtest_list_tests 2>/dev/null |
        sed -n 's/^\([A-Za-z0-9_]*\)\.$/\1/p' | paste -sd'|')
    [ -n "$suites" ] || { echo "sanitize: net_unit_tests lists no tests" >&2; exit 1; }
    (cd build-tsan && "${run[@]}" ctest --output-on-failure --timeout 900 -j"$jobs" \
        -R "^(dgram|raw)\\.|^($suites)\\.")
    unset TSAN_OPTIONS
fi
