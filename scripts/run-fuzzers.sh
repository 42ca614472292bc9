#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for SECONDS (default 60)
# on a scratch copy of its seed corpus (tests/fuzz/corpus/<target>/). Exits non-zero when any
# target crashes, leaks or times out; the input that did it is kept in build-fuzz/.
#   scripts/run-fuzzers.sh [SECONDS]
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
targets=(feed date webs opml)

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++-16}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPRESSLING_BUILD_FUZZERS=ON -DPRESSLING_BUILD_TESTS=OFF -DPRESSLING_BUILD_BENCH=OFF \
  -DPRESSLING_BUILD_APP=OFF ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER"}
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for target in "${targets[@]}"; do
  cp -r "$root/tests/fuzz/corpus/$target" "$scratch/$target"
  # One input may take at most 10 s (a document at the expansion cap takes about one), and
  # the process 2 GB.
  if ! "$build/tests/fuzz/fuzz_${target}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/$target-" \
    "$scratch/$target"; then
    failed+=("$target")
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $build/)" >&2
  exit 1
fi
echo "fuzzing: no faults in ${targets[*]} after ${seconds} s each"
