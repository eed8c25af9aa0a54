#!/usr/bin/env bash
# The relationship diagrams: orvane-report --format svg and --format html (median wall time, peak
# memory) on an Access file of Northwind's size (mkjet rich: 7 tables, 8 relationships), a test
# server database of 70 tables and 90 foreign keys in 6 schemas (tds-mkcatalog --relations) and the
# 2,000 x 30 benchmark file with relationships (mkjet --relationships bench); then the window's
# View > Relationships on the latter two (bench_relationships).
#   bench/bench_diagrams.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${1:-5}

MKJET="$BUILD_DIR/tools/jetwriter/mkjet"
SERVER="$BUILD_DIR/tests/support/tds/tds-testserver"
MKCATALOG="$BUILD_DIR/tests/support/tds/tds-mkcatalog"
REPORT="$BUILD_DIR/src/orvane-report"
WINDOW="$BUILD_DIR/bench/bench_relationships"
for tool in "$MKJET" "$SERVER" "$MKCATALOG" "$REPORT" "$WINDOW"; do
  if [[ ! -x $tool ]]; then
    echo "missing $tool: build it first (scripts/build.sh)" >&2
    exit 1
  fi
done

WORK=$(mktemp -d)
SERVER_PID=
cleanup() {
  if [[ -n $SERVER_PID ]]; then
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

"$MKJET" rich "$WORK/northwind.mdb" >/dev/null
"$MKJET" --relationships bench "$WORK/bench.mdb" >/dev/null
"$MKCATALOG" --relations "$WORK/catalog"
"$SERVER" --catalog "$WORK/catalog" --port 0 --login bench:Bench1 >"$WORK/port" 2>"$WORK/server.err" &
SERVER_PID=$!
for _ in $(seq 100); do
  [[ -s $WORK/port ]] && break
  sleep 0.05
done
PORT=$(awk '/^port / {print $2; exit}' "$WORK/port")
[[ -n $PORT ]] || { echo "the test server did not start" >&2; exit 1; }

# run_case LABEL TARGET_SECONDS FORMAT ARGS...: RUNS runs of orvane-report, the median and the peak.
run_case() {
  local label=$1 target=$2 format=$3
  shift 3
  local times=() rss=0 m start end
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    echo Bench1 | /usr/bin/time -o "$WORK/time.txt" -f "%M" "$REPORT" --format "$format" "$@" >"$WORK/out"
    end=$EPOCHREALTIME
    read -r m <"$WORK/time.txt"
    times+=("$(awk "BEGIN {printf \"%.3f\", $end - $start}")")
    (( m > rss )) && rss=$m
  done
  local median size
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
  size=$(stat -c %s "$WORK/out")
  printf '%-34s %-5s %8s s %8.1f MiB %10d bytes  < %s s, < 256 MiB: %s\n' "$label" "$format" "$median" \
    "$(awk "BEGIN {print $rss/1024}")" "$size" "$target" \
    "$(awk "BEGIN {exit !($median < $target && $rss < 256 * 1024)}" && echo ok || echo MISSED)"
}

echo "orvane-report, $RUNS runs each; $(nproc) cores"
for format in svg html; do
  run_case "Access, 7 tables (Northwind size)" 1 "$format" "$WORK/northwind.mdb"
  run_case "test server, 70 tables, 90 keys" 1 "$format" --server "127.0.0.1,$PORT" --database relations \
    --user bench --password-stdin
  run_case "Access, 2,000 x 30, related" 10 "$format" "$WORK/bench.mdb"
done

echo
echo "window, test server, 70 tables in 6 schemas:"
echo Bench1 | QT_QPA_PLATFORM=offscreen "$WINDOW" --server "127.0.0.1,$PORT" relations bench 2>/dev/null | sed 's/^/  /'
echo "window, Access, 2,000 x 30 with relationships:"
QT_QPA_PLATFORM=offscreen "$WINDOW" "$WORK/bench.mdb" 2>/dev/null | sed 's/^/  /'
