#!/usr/bin/env bash
# Builds everything and runs the whole test suite, the PostgreSQL catalog tests included: a
# throwaway PostgreSQL server is started for them and stopped at the end. Run from anywhere;
# the build goes to build/ in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build
cmake --build build -j2

pg_env=$(scripts/start-test-postgres.sh)  # a failed start stops the run here
eval "$pg_env"
stop_postgres() {
  local root
  root=$(sed -E 's/.*host=([^&]*).*/\1/' <<<"$PRESSLING_TEST_POSTGRES")
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- /usr/lib/postgresql/*/bin/pg_ctl -D "$root/data" -m fast stop >/dev/null 2>&1 || true
  else
    /usr/lib/postgresql/*/bin/pg_ctl -D "$root/data" -m fast stop >/dev/null 2>&1 || true
  fi
  rm -rf "$root"
}
trap stop_postgres EXIT
# With a server at hand, the PostgreSQL tests must run rather than skip.
export CI=true

ctest --test-dir build --output-on-failure -j2
