#!/usr/bin/env bash
# Builds the core (everything beneath the screens) and its tests twice more and runs them:
#  - build-asan/: AddressSanitizer and UndefinedBehaviorSanitizer, assertions on, every core
#    suite (PostgreSQL included);
#  - build-tsan/: ThreadSanitizer, assertions on, the suites that run work on many threads
#    (dispatch queues, downloads, the refresh).
# Any report fails the run. Run from anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

configure() {  # build-dir sanitizer-flags
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -fno-omit-frame-pointer $2" \
    -DCMAKE_EXE_LINKER_FLAGS="$2" -DCMAKE_SHARED_LINKER_FLAGS="$2" \
    -DPRESSLING_BUILD_APP=OFF -DPRESSLING_BUILD_BENCH=OFF >/dev/null
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
configure build-asan "-fsanitize=address,undefined -fno-sanitize-recover=all"
cmake --build build-asan -j2
scripts/with-test-postgres.sh ctest --test-dir build-asan --output-on-failure -j2

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
configure build-tsan "-fsanitize=thread"
cmake --build build-tsan -j2 --target platform_tests flows_tests
# The exit test forks a process that then starts threads, which ThreadSanitizer cannot follow;
# the other runs cover it.
for suite in platform flows; do
  ctest --test-dir "build-tsan/tests/$suite" --output-on-failure -j2 -E anExitWaitsForTheRunInFlight
done
