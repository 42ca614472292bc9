#!/usr/bin/env bash
# Runs a command with a throwaway PostgreSQL server for the catalog tests, and stops the server
# afterwards whatever the command's outcome; exits with the command's status.
#
#   scripts/with-test-postgres.sh ctest --test-dir build -j2
set -euo pipefail
here=$(dirname "$0")

pg_env=$("$here/start-test-postgres.sh")  # a failed start stops the run here
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

"$@"
