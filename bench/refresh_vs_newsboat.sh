#!/usr/bin/env bash
# Times a whole refresh of many subscriptions, end to end: pressling-cli import and refresh
# (cold: empty article store; warm: a second refresh that finds nothing new) against newsboat's
# `-x reload` with one and with 32 reload threads, on the same feeds from bench-feed-server on
# loopback. Two variants: every feed healthy, and 10 % of them failing (404, refused connection,
# cut-off document, stalled server). Reports wall time, CPU time and peak memory, medians over
# RUNS runs, and whether the warm refresh wrote to the article store.
#
# usage: bench/refresh_vs_newsboat.sh [BUILD_DIR]          (default: build-bench)
#
# Settings from the environment:
#   RUNS=3                 runs per measurement (medians are reported)
#   FEEDS=500 ITEMS=50     feeds, and entries per feed
#   PORTS=16               listening ports the feeds are spread over
#   FAILING=10             percentage of failing feeds in the "failing" variant
#   VARIANTS="good failing"
#   NEWSBOAT_THREADS="1 32"    "" runs pressling-cli alone (for long lists: FEEDS=5000)
#   SERIAL_FAILING_RUNS=1  runs of single-threaded newsboat in the failing variant: each of its
#                          stalled feeds costs it its full 30 s time-out, one after the other
#   IMPORT_FAILING=1       also time one import while the failures are on (the import checks
#                          every feed, so the stalls cost it time too); 0 to skip
#   STALL_LIMIT=20         seconds a stalled transfer is given (the downloads' low-speed limit)
#   GZIP=0                 1: the server gzips documents for clients that accept it
#   KEEP=0                 1: keep the temporary folder (data folders, logs, raw figures)
#
# It builds nothing: build pressling-cli and bench-feed-server first (bench/README.md). Nothing
# outside a temporary folder is touched: pressling-cli gets --data-dir and PRESSLING_CATALOG,
# newsboat gets -u/-c/-C, and both run with HOME and the XDG folders pointing into it.

set -euo pipefail

build_dir=${1:-build-bench}
runs=${RUNS:-3}
feeds=${FEEDS:-500}
items=${ITEMS:-50}
ports=${PORTS:-16}
failing_percent=${FAILING:-10}
variants=${VARIANTS:-good failing}
newsboat_threads=${NEWSBOAT_THREADS-1 32}
serial_failing_runs=${SERIAL_FAILING_RUNS:-1}
import_failing=${IMPORT_FAILING:-1}
stall_limit=${STALL_LIMIT:-20}

cli="$build_dir/cli/pressling-cli"
server="$build_dir/bench/bench-feed-server"
for program in "$cli" "$server"; do
    if [[ ! -x $program ]]; then
        echo "refresh_vs_newsboat.sh: $program is missing; build it first (see bench/README.md)" >&2
        exit 1
    fi
done
cli=$(realpath "$cli")
server=$(realpath "$server")
if [[ -n ${newsboat_threads// /} ]] && ! command -v newsboat >/dev/null; then
    echo "refresh_vs_newsboat.sh: newsboat is missing: apt-get install -y --no-install-recommends newsboat" >&2
    exit 1
fi
if [[ ! -x /usr/bin/time ]] || ! /usr/bin/time -f '%e' true >/dev/null 2>&1; then
    echo "refresh_vs_newsboat.sh: GNU time is missing: apt-get install -y time" >&2
    exit 1
fi
for tool in curl sha256sum stat; do
    command -v "$tool" >/dev/null || { echo "refresh_vs_newsboat.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/refresh-bench.XXXXXX")
server_pid=
cleanup() {
    if [[ -n $server_pid ]]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    if [[ ${KEEP:-0} == 1 ]]; then
        echo "kept $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# A home of their own for both programs, so neither reads nor writes the user's files.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache"
unset PRESSLING_DATA_DIR
mkdir -p "$HOME"

server_flags=(--feeds "$feeds" --items "$items" --ports "$ports" --failing "$failing_percent"
              --opml "$work/feeds.opml" --urls "$work/urls")
[[ ${GZIP:-0} == 1 ]] && server_flags+=(--gzip)
"$server" "${server_flags[@]}" >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 600); do
    grep -q '^ready' "$work/server.out" 2>/dev/null && break
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "refresh_vs_newsboat.sh: bench-feed-server stopped:" >&2
        cat "$work/server.err" >&2
        exit 1
    fi
    sleep 0.2
done
grep -q '^ready' "$work/server.out" || { echo "refresh_vs_newsboat.sh: the server never got ready" >&2; exit 1; }
control=$(sed -n 's|.*control: \(http://[0-9.:]*\)/control.*|\1|p' "$work/server.out")
echo "server: $(cat "$work/server.out")"

control() { curl -fsS "$control/control/$1"; }

results="$work/results.tsv"  # variant, client, phase, run, wall s, user s, sys s, peak KiB, note
: >"$results"

# measure OUT_PREFIX COMMAND...: runs it under GNU time; leaves OUT_PREFIX.out, .err, .time,
# .status and .start (the clock when it started).
measure() {
    local prefix=$1
    shift
    local status=0
    date +%s.%N >"$prefix.start"
    /usr/bin/time -f '%e %U %S %M' -o "$prefix.time" "$@" >"$prefix.out" 2>"$prefix.err" || status=$?
    echo "$status" >"$prefix.status"
}

record() {  # record VARIANT CLIENT PHASE RUN PREFIX NOTE
    local wall user sys rss
    read -r wall user sys rss < <(tail -n 1 "$5.time")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$wall" "$user" "$sys" \
        "$rss" "$6" >>"$results"
}

# A file's size, modification time and hash, or "absent".
fingerprint() {
    local file
    for file in "$@"; do
        if [[ -e $file ]]; then
            printf '%s %s %s\n' "$(basename "$file")" "$(stat -c '%s %.9Y' "$file")" \
                "$(sha256sum <"$file" | cut -c1-16)"
        else
            printf '%s absent\n' "$(basename "$file")"
        fi
    done
}

# last_write PREFIX FILE...: seconds from the start of a measured command to the last change of
# any of the files. With stalled feeds a refresh only ends at their time-outs; this tells when
# the articles of all the others were in.
last_write() {
    local prefix=$1 latest=0 file mtime
    shift
    for file in "$@"; do
        [[ -e $file ]] || continue
        mtime=$(stat -c '%.9Y' "$file")
        latest=$(awk -v a="$latest" -v b="$mtime" 'BEGIN { print (b > a) ? b : a }')
    done
    awk -v start="$(cat "$prefix.start")" -v end="$latest" 'BEGIN { printf "%.2f s", end - start }'
}

# What changed between two fingerprints: "no", or the files that did.
changes() {
    local changed
    changed=$(diff <(echo "$1") <(echo "$2") | sed -n 's/^> \([^ ]*\) .*/\1/p' | sort -u | paste -sd, -)
    [[ -z $changed ]] && echo "no" || echo "yes ($changed)"
}

run_pressling() {  # run_pressling VARIANT RUN
    local variant=$1 run=$2
    local dir="$work/pressling-$variant-$run"
    mkdir -p "$dir/data"
    export PRESSLING_CATALOG="sqlite:$dir/catalog.sqlite"
    local store=("$dir/data/CDModel.sqlite" "$dir/data/CDModel.sqlite-wal")

    control healthy >/dev/null
    measure "$dir/import" "$cli" --data-dir "$dir/data" import "$work/feeds.opml"
    record "$variant" pressling import "$run" "$dir/import" \
        "$(grep -o 'Imported [0-9]* of [0-9]*' "$dir/import.out" || echo "import failed: status $(cat "$dir/import.status")")"
    [[ $variant == failing ]] && control failing >/dev/null
    control stats >/dev/null

    measure "$dir/cold" "$cli" --data-dir "$dir/data" refresh
    record "$variant" pressling cold "$run" "$dir/cold" \
        "$(grep -E 'articles loaded|with errors|No internet' "$dir/cold.out" | paste -sd';' -); last store write at $(last_write "$dir/cold" "${store[@]}"); $(control stats | paste -sd, -)"

    local before after
    before=$(fingerprint "${store[@]}")
    measure "$dir/warm" "$cli" --data-dir "$dir/data" refresh
    after=$(fingerprint "${store[@]}")
    printf 'before:\n%s\nafter:\n%s\n' "$before" "$after" >"$dir/warm.fingerprints"
    record "$variant" pressling warm "$run" "$dir/warm" \
        "$(grep -E 'articles loaded|with errors|No internet' "$dir/warm.out" | paste -sd';' -); store written: $(changes "$before" "$after"); $(control stats | paste -sd, -)"
    unset PRESSLING_CATALOG
}

run_newsboat() {  # run_newsboat VARIANT RUN THREADS
    local variant=$1 run=$2 threads=$3
    local dir="$work/newsboat-$variant-$threads-$run"
    mkdir -p "$dir"
    printf 'reload-threads %s\n' "$threads" >"$dir/config"
    if [[ $variant == failing ]]; then control failing >/dev/null; else control healthy >/dev/null; fi
    control stats >/dev/null
    local phase before after note
    for phase in cold warm; do
        before=$(fingerprint "$dir/cache.db")
        measure "$dir/$phase" newsboat -x reload -u "$work/urls" -c "$dir/cache.db" -C "$dir/config"
        after=$(fingerprint "$dir/cache.db")
        note="status $(cat "$dir/$phase.status")"
        if command -v sqlite3 >/dev/null; then
            note+="; $(sqlite3 "$dir/cache.db" 'SELECT count(*) FROM rss_item') items"
        fi
        if [[ $phase == cold ]]; then
            note+="; last cache write at $(last_write "$dir/$phase" "$dir/cache.db")"
        else
            note+="; cache written: $(changes "$before" "$after")"
        fi
        record "$variant" "newsboat-$threads" "$phase" "$run" "$dir/$phase" \
            "$note; $(control stats | paste -sd, -)"
    done
}

for variant in $variants; do
    for run in $(seq "$runs"); do
        echo "== $variant, run $run of $runs"
        run_pressling "$variant" "$run"
        for threads in $newsboat_threads; do
            if [[ $variant == failing && $threads == 1 && $run -gt $serial_failing_runs ]]; then
                continue
            fi
            run_newsboat "$variant" "$run" "$threads"
        done
    done
    if [[ $variant == failing && $import_failing == 1 ]]; then
        # The import checks every feed before subscribing it, so the failures cost it too.
        dir="$work/pressling-import-failing"
        mkdir -p "$dir/data"
        control failing >/dev/null
        export PRESSLING_CATALOG="sqlite:$dir/catalog.sqlite"
        measure "$dir/import" "$cli" --data-dir "$dir/data" import "$work/feeds.opml"
        unset PRESSLING_CATALOG
        record "$variant" pressling import-while-failing 1 "$dir/import" \
            "$(grep -o 'Imported [0-9]* of [0-9]*' "$dir/import.out" || echo "status $(cat "$dir/import.status")")"
        control healthy >/dev/null
    fi
done

echo
echo "Medians over the runs (wall and CPU in seconds, CPU = user + system, peak RSS in MB)."
echo "Machine: $(nproc) cores, $(uname -r); newsboat $(newsboat --version | head -n 1 | cut -d' ' -f2);"
echo "$feeds feeds x $items entries, $(sed -n 's/^ready: [0-9]* feeds of [0-9]* entries, \([0-9.]* MB\).*/\1/p' "$work/server.out") of documents, on $ports loopback ports."
echo
python3 - "$results" "$feeds" "$stall_limit" <<'EOF'
import collections, re, statistics, sys

rows = collections.OrderedDict()
for line in open(sys.argv[1], encoding="utf-8"):
    variant, client, phase, run, wall, user, sys_, rss, note = line.rstrip("\n").split("\t")
    key = (variant, client, phase)
    rows.setdefault(key, []).append((float(wall), float(user) + float(sys_), int(rss) / 1024, note))

def median(values):
    return statistics.median(values)

names = {"pressling": "pressling-cli"}
print(f"{'variant':8} {'client':15} {'phase':21} {'runs':>4} {'wall s':>8} {'cpu s':>8} {'peak MB':>8}  notes")
summary = {}
for (variant, client, phase), samples in rows.items():
    wall = median([s[0] for s in samples])
    cpu = median([s[1] for s in samples])
    rss = median([s[2] for s in samples])
    summary[(variant, client, phase)] = (wall, cpu, rss, max(s[2] for s in samples))
    # "last ... write at 1.23 s" differs from run to run: show its median.
    times = [float(m.group(1)) for s in samples for m in [re.search(r"write at (-?[0-9.]+) s", s[3])] if m]
    normalised = [re.sub(r"write at -?[0-9.]+ s", "write at {} s", s[3]) for s in samples]
    notes = sorted(set(normalised))
    note = notes[0] if len(notes) == 1 else " | ".join(notes)
    if times:
        note = note.replace("{}", f"{median(times):.2f}")
    walls = ", ".join(f"{s[0]:.2f}" for s in samples)
    print(f"{variant:8} {names.get(client, client):15} {phase:21} {len(samples):4} {wall:8.2f} {cpu:8.2f} {rss:8.1f}  {note}")
    if len(samples) > 1:
        print(f"{'':8} {'':15} {'':21} {'':4} walls: {walls}")

print()
feeds = int(sys.argv[2])
stall_limit = float(sys.argv[3])
peak_target = 60 if feeds <= 500 else 100
def verdict(ok):
    return "met" if ok else "missed"
for variant in dict.fromkeys(k[0] for k in rows):
    pressling = summary.get((variant, "pressling", "cold"))
    newsboat = summary.get((variant, "newsboat-32", "cold"))
    warm = summary.get((variant, "pressling", "warm"))
    if variant == "failing" and pressling:
        # Healthy feeds are stored long before; the stalled ones end at the low-speed limit.
        print(f"{variant}: pressling cold wall time: {pressling[0]:.2f} s "
              f"(target <= stall limit {stall_limit:.0f} s + 1 s: {verdict(pressling[0] <= stall_limit + 1)})")
    elif pressling:
        wall_target = 1 if feeds <= 500 else 10
        print(f"{variant}: pressling cold wall time: {pressling[0]:.2f} s "
              f"(target < {wall_target} s: {verdict(pressling[0] < wall_target)})")
        if newsboat:
            ratio = newsboat[0] / pressling[0]
            print(f"{variant}: newsboat@32 cold / pressling cold, wall time: {ratio:.1f}x "
                  f"(target >= 10x: {verdict(ratio >= 10)})")
        if warm and feeds <= 500:
            print(f"{variant}: pressling warm wall time: {warm[0]:.2f} s "
                  f"(target < 0.15 s: {verdict(warm[0] < 0.15)})")
    peaks = [v[3] for k, v in summary.items() if k[0] == variant and k[1] == "pressling"]
    if peaks:
        peak = max(peaks)
        print(f"{variant}: pressling-cli peak memory, highest of all its runs: {peak:.1f} MB "
              f"(target < {peak_target} MB: {verdict(peak < peak_target)})")
EOF
