#!/usr/bin/env bash
# Builds everything and runs the whole test suite, the PostgreSQL catalog tests included: a
# throwaway PostgreSQL server is started for them and stopped at the end. Run from anywhere;
# the build goes to build/ in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build
cmake --build build -j2

scripts/with-test-postgres.sh ctest --test-dir build --output-on-failure -j2
