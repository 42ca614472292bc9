#!/usr/bin/env bash
# Starts the reader application from the build folder (./build, or $PRESSLING_BUILD_DIR), with
# any arguments given. Where there is no display to open a window on, it says so and shows the
# same articles in the terminal instead: pressling-cli refresh, then the 20 newest articles.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PRESSLING_BUILD_DIR:-build}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  if [ ! -x "$build/src/app/pressling" ]; then
    echo "run-app: $build/src/app/pressling was not built (was Qt 6 found when configuring?)" >&2
    exit 1
  fi
  exec "$build/src/app/pressling" "$@"
fi

echo "run-app: no display (DISPLAY and WAYLAND_DISPLAY are unset), so pressling cannot open its" \
     "window; showing the same articles with pressling-cli instead." >&2
# A refresh where every feed failed exits 1; what is stored is still worth listing.
"$build/cli/pressling-cli" refresh || true
exec "$build/cli/pressling-cli" articles --limit 20
