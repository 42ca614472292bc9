#!/usr/bin/env bash
# Prints the non-blank lines of the tests against those of the code they test (src/ and cli/),
# and their ratio. Counted: C++ sources and headers, CMake lists and scripts; not fixtures,
# corpora or screen descriptions. The project keeps the ratio at or under 0.35.
# Usage: scripts/test-ratio.sh [--check]   (--check: exit 1 when the ratio is above 0.35)
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name 'CMakeLists.txt' -o -name '*.sh' \
    -o -name '*.py' \) -not -path '*/data/*' -not -path '*/corpus/*' -print0 |
    xargs -0 cat | grep -cv '^[[:space:]]*$'
}

tests=$(count tests)
code=$(count src cli)
printf 'tests/: %d lines\nsrc/ + cli/: %d lines\n' "$tests" "$code"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio: %.3f\n", t / c }'

if [ "${1:-}" = "--check" ] && awk -v t="$tests" -v c="$code" 'BEGIN { exit !(t > 0.35 * c) }'; then
  echo "the tests are more than 0.35 of the code" >&2
  exit 1
fi
