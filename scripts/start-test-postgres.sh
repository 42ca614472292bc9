#!/usr/bin/env bash
# Starts a throwaway PostgreSQL cluster for the catalog tests and benchmarks, and prints the
# line that points them at it:
#
#   eval "$(scripts/start-test-postgres.sh)"   # exports PRESSLING_TEST_POSTGRES=postgresql://...
#
# The cluster lives in a fresh temporary folder, listens only on a Unix socket inside that
# folder (no TCP port to collide with another run), trusts local connections, and skips fsync:
# it holds nothing worth keeping. Its database "pressling_test" is UTF-8 with the C.UTF-8
# locale, and already has pg_trgm, so tests running in parallel never race to create it.
# Diagnostics go to stderr; stdout carries only the export line. The stop command is printed
# to stderr; the folder is removed by stopping the server and deleting it, or by the reboot.
set -euo pipefail

bindir=${PG_BINDIR:-}
if [ -z "$bindir" ]; then
  for candidate in /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/initdb" ] && bindir=$candidate
  done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "start-test-postgres: no PostgreSQL server binaries found (install the postgresql package, or set PG_BINDIR)" >&2
  exit 1
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/pressling-pg.XXXXXX")
# The socket lives here, so clients running as other users must be able to reach it.
chmod 755 "$root"

# initdb refuses to run as root: hand the folder to the postgres account instead.
if [ "$(id -u)" -eq 0 ]; then
  if ! id postgres >/dev/null 2>&1; then
    echo "start-test-postgres: running as root, but there is no postgres account to run the server" >&2
    exit 1
  fi
  chown postgres: "$root"
  as_server=(runuser -u postgres --)
  superuser=postgres
else
  as_server=()
  superuser=$(id -un)
fi

port=5432
log="$root/server.log"

fail() {
  echo "start-test-postgres: $1" >&2
  [ -f "$log" ] && tail -n 20 "$log" >&2
  "${as_server[@]}" "$bindir/pg_ctl" -D "$root/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$root"
  exit 1
}

"${as_server[@]}" "$bindir/initdb" -D "$root/data" -U "$superuser" --auth=trust \
  --encoding=UTF8 --locale=C.UTF-8 >"$root/initdb.log" 2>&1 ||
  { cat "$root/initdb.log" >&2; fail "initdb failed"; }

"${as_server[@]}" "$bindir/pg_ctl" -D "$root/data" -l "$log" -w -t 30 \
  -o "-c listen_addresses='' -k $root -p $port -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
  start >/dev/null || fail "the server did not start"

psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$root" -p "$port" -U "$superuser")
"${psql[@]}" -d postgres -c "CREATE DATABASE pressling_test TEMPLATE template0 ENCODING 'UTF8' LOCALE 'C.UTF-8'" >&2 ||
  fail "cannot create the test database"
"${psql[@]}" -d pressling_test -c "CREATE EXTENSION IF NOT EXISTS pg_trgm" >&2 ||
  fail "cannot create the pg_trgm extension (is postgresql-contrib installed?)"

echo "start-test-postgres: server running in $root; stop it with:" >&2
echo "  ${as_server[*]} $bindir/pg_ctl -D $root/data -m fast stop && rm -rf $root" >&2
echo "export PRESSLING_TEST_POSTGRES='postgresql://$superuser@/pressling_test?host=$root&port=$port'"
