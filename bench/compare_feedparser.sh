#!/usr/bin/env bash
# End-to-end comparison: `pressling-cli parse FILE` against Debian's python3-feedparser on the
# same generated RSS 2.0 and Atom documents (~5 MB each), process start to exit.
#
#   bench/compare_feedparser.sh [BUILD_DIR]      BUILD_DIR defaults to build-bench
#
# Builds nothing: BUILD_DIR must already hold cli/pressling-cli and bench/bench-generate-feed.
# Knobs (environment): FEED_BYTES (5000000), RUNS (10), WARMUP (1), PYTHON (a python3 that
# can import feedparser; found automatically otherwise), HYPERFINE (the hyperfine to use;
# HYPERFINE=none forces the plain loop).
#
# Uses hyperfine when it is installed (the summary then gives medians, which a busy machine
# disturbs less than means, and the mean CPU time), else a plain loop timed with
# `date +%s.%N` (means of wall time only).
# Before timing, both tools must report the same number of entries for each document, so the
# two sides are known to do the same job.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build-bench}
if [[ ! -d $build && -d $repo/$build ]]; then build=$repo/$build; fi
feed_bytes=${FEED_BYTES:-5000000}
runs=${RUNS:-10}
warmup=${WARMUP:-1}
hyperfine=${HYPERFINE:-hyperfine}

cli=$build/cli/pressling-cli
generate=$build/bench/bench-generate-feed
for tool in "$cli" "$generate"; do
  if [[ ! -x $tool ]]; then
    echo "error: $tool not found; build it first:" >&2
    echo "  cmake --build $build -j2 --target pressling-cli bench-generate-feed" >&2
    exit 1
  fi
done

# A pyenv or virtualenv python3 earlier on PATH usually lacks Debian's feedparser module.
python=${PYTHON:-}
if [[ -z $python ]]; then
  for candidate in python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null && "$candidate" -c 'import feedparser' 2>/dev/null; then
      python=$(command -v "$candidate")
      break
    fi
  done
fi
if [[ -z $python ]]; then
  echo "error: no python3 with feedparser; apt-get install -y python3-feedparser" >&2
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "pressling-cli: $cli"
fp_version=$("$python" -c 'import feedparser; print(feedparser.__version__)')
echo "feedparser:    $fp_version under $python"
echo

# Seconds per run, mean over RUNS, without hyperfine.
time_loop() {
  local command=$1 i start end total=0
  for ((i = 0; i < warmup; i++)); do bash -c "$command" >/dev/null; done
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    bash -c "$command" >/dev/null
    end=$(date +%s.%N)
    total=$(awk -v t="$total" -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", t + e - s }')
  done
  awk -v t="$total" -v n="$runs" 'BEGIN { printf "%.6f", t / n }'
}

summary=()
for format in rss atom; do
  file=$tmp/$format.xml
  "$generate" "$format" "$feed_bytes" "$file" 2>"$tmp/generate.log"
  generated=$(sed -n 's/.* \([0-9]*\) entries$/\1/p' "$tmp/generate.log")

  # Same job on both sides: the same number of entries out of the same bytes.
  "$cli" parse "$file" >"$tmp/$format.json"
  cli_count=$("$python" -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["articles"]))' \
    "$tmp/$format.json")
  read -r fp_count fp_bozo < <("$python" -c '
import feedparser, sys
d = feedparser.parse(open(sys.argv[1], "rb").read())
print(len(d.entries), int(bool(d.bozo)))' "$file")
  echo "$format: $(stat -c %s "$file") bytes, $generated entries generated;" \
    "pressling-cli read $cli_count, feedparser read $fp_count"
  if [[ $fp_bozo != 0 ]]; then
    echo "warning: feedparser flagged $format.xml as malformed (bozo); it took its slow path" >&2
  fi
  if [[ $cli_count != "$fp_count" ]]; then
    echo "error: entry counts differ on $format.xml ($cli_count vs $fp_count); not timing" >&2
    exit 1
  fi

  cli_command="$(printf '%q' "$cli") parse $(printf '%q' "$file") >/dev/null"
  fp_script='import feedparser,sys; feedparser.parse(open(sys.argv[1],"rb").read())'
  fp_command="$(printf '%q' "$python") -c $(printf '%q' "$fp_script") $(printf '%q' "$file")"

  if command -v "$hyperfine" >/dev/null; then
    "$hyperfine" --warmup "$warmup" --runs "$runs" --export-json "$tmp/$format-times.json" \
      -n "pressling-cli ($format)" "$cli_command" \
      -n "feedparser ($format)" "$fp_command"
    read -r cli_wall fp_wall cli_cpu fp_cpu < <("$python" -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
cpu = [x["user"] + x["system"] for x in r]
print(r[0]["median"], r[1]["median"], cpu[0], cpu[1])' \
      "$tmp/$format-times.json")
  else
    echo "(hyperfine not found: timing $runs runs of each with date +%s.%N)"
    cli_wall=$(time_loop "$cli_command")
    fp_wall=$(time_loop "$fp_command")
    cli_cpu=0 fp_cpu=0
  fi
  echo
  summary+=("$(awk -v f="$format" -v c="$cli_wall" -v p="$fp_wall" -v n="$cli_count" \
    -v cc="$cli_cpu" -v pc="$fp_cpu" 'BEGIN {
    printf "  %-5s %5d entries  pressling-cli %7.1f ms  feedparser %8.1f ms  -> %5.1fx faster", \
           f, n, c * 1000, p * 1000, p / c
    if (cc > 0)
      printf "   (mean CPU time: %.1f ms vs %.1f ms -> %.1fx)", cc * 1000, pc * 1000, pc / cc }')")
done

if command -v "$hyperfine" >/dev/null; then
  echo "Median wall time per run, process start to exit ($runs runs, $warmup warm-up):"
else
  echo "Mean wall time per run, process start to exit ($runs runs, $warmup warm-up):"
fi
printf '%s\n' "${summary[@]}"
