#!/usr/bin/env bash
# The SQL Server path on a catalogue of 1,000 tables x 20 columns and 300 views, 300 procedures and
# 300 triggers (MODULES=N: N of each), served by the project's test TDS server through the real
# FreeTDS driver: orvane-report --server (wall time, peak memory, round trips) and the window's
# Refresh + Select all + Output, once on a direct link and once with every reply held back 50 ms (a
# server far away).
#   bench/bench_sqlserver.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${1:-5}
MODULES=${MODULES:-300}

SERVER="$BUILD_DIR/tests/support/tds/tds-testserver"
MKCATALOG="$BUILD_DIR/tests/support/tds/tds-mkcatalog"
REPORT="$BUILD_DIR/src/orvane-report"
WINDOW="$BUILD_DIR/bench/bench_window"
# ENCRYPTION_ONLY=1: only the orvane-report lines with encryption off and on (no window needed).
ENCRYPTION_ONLY=${ENCRYPTION_ONLY:-}
TOOLS=("$SERVER" "$MKCATALOG" "$REPORT")
[[ -n $ENCRYPTION_ONLY ]] || TOOLS+=("$WINDOW")
for tool in "${TOOLS[@]}"; do
  if [[ ! -x $tool ]]; then
    echo "missing $tool: build it first (scripts/build.sh)" >&2
    exit 1
  fi
done

WORK=$(mktemp -d)
SERVER_PID=
stop_server() {
  if [[ -n $SERVER_PID ]]; then
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
    SERVER_PID=
  fi
}
trap 'stop_server; rm -rf "$WORK"' EXIT
"$MKCATALOG" --views "$MODULES" --procedures "$MODULES" --triggers "$MODULES" "$WORK/catalog" >/dev/null

# Starts the server with the given extra options; sets PORT.
start_server() {
  "$SERVER" --catalog "$WORK/catalog" --port 0 --login bench:Bench1 "$@" >"$WORK/port" 2>"$WORK/server.err" &
  SERVER_PID=$!
  for _ in $(seq 100); do
    [[ -s $WORK/port ]] && break
    sleep 0.05
  done
  PORT=$(awk '/^port / {print $2; exit}' "$WORK/port")
  [[ -n $PORT ]] || { echo "the test server did not start" >&2; exit 1; }
}

# Requests the server has answered so far (batches + RPCs), from the line it prints on SIGUSR1.
requests() {
  local before
  before=$(grep -c '^batches' "$WORK/server.err" || true)
  kill -USR1 "$SERVER_PID"
  for _ in $(seq 100); do
    (( $(grep -c '^batches' "$WORK/server.err" || true) > before )) && break
    sleep 0.02
  done
  grep '^batches' "$WORK/server.err" | tail -1 | awk '{print $2 + $4}'
}

run_case() {
  local label=$1
  shift
  start_server "$@"
  local times=() rss=0 t m start end r0 r1
  r0=$(requests)
  echo Bench1 | "$REPORT" --server "127.0.0.1,$PORT" --database big --user bench --password-stdin "${FORMAT_ARGS[@]}" >"$WORK/report.txt"
  r1=$(requests)
  local lines
  lines=$(wc -l <"$WORK/report.txt")
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    echo Bench1 | /usr/bin/time -o "$WORK/time.txt" -f "%M" \
      "$REPORT" --server "127.0.0.1,$PORT" --database big --user bench --password-stdin "${FORMAT_ARGS[@]}" >/dev/null
    end=$EPOCHREALTIME
    read -r m <"$WORK/time.txt"
    times+=("$(awk "BEGIN {printf \"%.3f\", $end - $start}")")
    (( m > rss )) && rss=$m
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
  printf '%-28s %8s s %8.1f MiB %6d round trips %7d lines  < 1 s: %s\n' "orvane-report, $label" "$median" \
    "$(awk "BEGIN {print $rss/1024}")" "$((r1 - r0))" "$lines" \
    "$(awk "BEGIN {exit !($median < 1)}" && echo ok || echo MISSED)"
  if [[ -n $ENCRYPTION_ONLY ]]; then
    stop_server
    return
  fi
  r0=$(requests)
  echo Bench1 | QT_QPA_PLATFORM=offscreen "$WINDOW" "${WINDOW_ARGS[@]}" --server "127.0.0.1,$PORT" big bench 2>/dev/null | sed "s/^/  window, $label: /"
  r1=$(requests)
  echo "  window, $label: round trips for Open + Refresh + Output twice: $((r1 - r0))"
  stop_server
}

echo "Catalogue: 1,000 tables x 20 columns, $MODULES views, procedures and triggers (test TDS server over FreeTDS); $RUNS runs; $(nproc) cores"
# The plain report with the plain window, then the structure document with the extended report.
FORMAT_ARGS=()
WINDOW_ARGS=()
if [[ -n $ENCRYPTION_ONLY ]]; then
  # Off: the server cannot encrypt. On: the server requires it, so every packet goes over TLS.
  FORMAT_ARGS=(--format json)
  run_case "json, TLS off, direct" --encryption not-supported
  run_case "json, TLS on, direct" --encryption required
  run_case "json, TLS off, 50 ms" --encryption not-supported --latency 50
  run_case "json, TLS on, 50 ms" --encryption required --latency 50
  exit 0
fi
run_case "direct"
run_case "50 ms latency" --latency 50
FORMAT_ARGS=(--format json)
WINDOW_ARGS=(--extended)
run_case "json, direct"
run_case "json, 50 ms latency" --latency 50
