#!/usr/bin/env bash
# The SQL Server path on a catalogue of 1,000 tables x 20 columns and 300 views, 300 procedures and
# 300 triggers (MODULES=N: N of each), served by the project's test TDS server through the real
# FreeTDS driver: orvane-report --server (wall time, peak memory, round trips) and the window's
# Refresh + Select all + Output, once on a direct link and once over a link with a round-trip time
# of 50 ms. The distance comes from tds-latency-proxy in front of the
# server: every byte is held back half the round trip each way and a new connection's first byte
# a round trip more (the TCP handshake), so the TLS handshake, the login and every statement pay
# what they would over such a link; the proxy counts the round trips at the TCP level.
#   bench/bench_sqlserver.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${1:-5}
MODULES=${MODULES:-300}
RTT=${RTT:-50}

SERVER="$BUILD_DIR/tests/support/tds/tds-testserver"
PROXY="$BUILD_DIR/tests/support/tds/tds-latency-proxy"
MKCATALOG="$BUILD_DIR/tests/support/tds/tds-mkcatalog"
REPORT="$BUILD_DIR/src/orvane-report"
WINDOW="$BUILD_DIR/bench/bench_window"
# REPORT_ONLY=1: only the orvane-report lines (no window needed).
REPORT_ONLY=${REPORT_ONLY:-}
TOOLS=("$SERVER" "$PROXY" "$MKCATALOG" "$REPORT")
[[ -n $REPORT_ONLY ]] || TOOLS+=("$WINDOW")
for tool in "${TOOLS[@]}"; do
  if [[ ! -x $tool ]]; then
    echo "missing $tool: build it first (scripts/build.sh)" >&2
    exit 1
  fi
done

WORK=$(mktemp -d)
SERVER_PID=
PROXY_PID=
stop() {
  for pid in $PROXY_PID $SERVER_PID; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  SERVER_PID=
  PROXY_PID=
}
trap 'stop; rm -rf "$WORK"' EXIT
"$MKCATALOG" --views "$MODULES" --procedures "$MODULES" --triggers "$MODULES" "$WORK/catalog" >/dev/null

# Waits for "port N" in a file; prints N.
port_of() {
  for _ in $(seq 100); do
    [[ -s $1 ]] && break
    sleep 0.05
  done
  awk '/^port / {print $2; exit}' "$1"
}

# Starts the server with the given extra options and the proxy in front of it; sets PORT (the
# server's) and PROXY_PORT.
start() {
  "$SERVER" --catalog "$WORK/catalog" --port 0 --login bench:Bench1 "$@" >"$WORK/port" 2>"$WORK/server.err" &
  SERVER_PID=$!
  PORT=$(port_of "$WORK/port")
  [[ -n $PORT ]] || { echo "the test server did not start" >&2; exit 1; }
  "$PROXY" --target "$PORT" --round-trip "$LINK_RTT" >"$WORK/proxy.port" 2>"$WORK/proxy.err" &
  PROXY_PID=$!
  PROXY_PORT=$(port_of "$WORK/proxy.port")
  [[ -n $PROXY_PORT ]] || { echo "the latency proxy did not start" >&2; exit 1; }
}

# Round trips the proxy has carried so far, from the line it prints on SIGUSR1.
round_trips() {
  local before
  before=$(grep -c '^connections' "$WORK/proxy.err" || true)
  kill -USR1 "$PROXY_PID"
  for _ in $(seq 100); do
    (( $(grep -c '^connections' "$WORK/proxy.err" || true) > before )) && break
    sleep 0.02
  done
  grep '^connections' "$WORK/proxy.err" | tail -1 | awk '{print $4}'
}

report() {
  echo Bench1 | "$REPORT" --server "127.0.0.1,$1" --database big --user bench --password-stdin "${FORMAT_ARGS[@]}"
}

# label, target seconds, target round trips (0: none), server options...
run_case() {
  local label=$1 target=$2 target_trips=$3
  shift 3
  start "$@"
  # The direct case times the server itself; the proxy (without delay) still counts its round trips.
  local via=$PROXY_PORT
  [[ $LINK_RTT == 0 ]] && via=$PORT
  local times=() rss=0 m start end r0 r1 lines
  r0=$(round_trips)
  report "$PROXY_PORT" >"$WORK/report.txt"
  r1=$(round_trips)
  lines=$(wc -l <"$WORK/report.txt")
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    echo Bench1 | /usr/bin/time -o "$WORK/time.txt" -f "%M" \
      "$REPORT" --server "127.0.0.1,$via" --database big --user bench --password-stdin "${FORMAT_ARGS[@]}" >/dev/null
    end=$EPOCHREALTIME
    read -r m <"$WORK/time.txt"
    times+=("$(awk "BEGIN {printf \"%.3f\", $end - $start}")")
    (( m > rss )) && rss=$m
  done
  local median trips=$((r1 - r0)) verdict
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
  verdict=$(awk "BEGIN {exit !($median <= $target)}" && echo ok || echo MISSED)
  if (( target_trips > 0 )); then
    (( trips <= target_trips )) && verdict+=", trips ok" || verdict+=", trips MISSED"
  fi
  printf '%-40s %7s s %7.1f MiB %4d round trips %8d lines  <= %s s%s: %s\n' "orvane-report, $label" "$median" \
    "$(awk "BEGIN {print $rss/1024}")" "$trips" "$lines" "$target" \
    "$( (( target_trips > 0 )) && echo ", <= $target_trips trips")" "$verdict"
  if [[ -z $REPORT_ONLY ]]; then
    r0=$(round_trips)
    echo Bench1 | QT_QPA_PLATFORM=offscreen "$WINDOW" "${WINDOW_ARGS[@]}" --server "127.0.0.1,$PROXY_PORT" big bench \
      2>/dev/null | sed "s/^/  window, $label: /"
    r1=$(round_trips)
    echo "  window, $label: round trips for Open + Refresh + Output twice: $((r1 - r0))"
  fi
  stop
}

echo "Catalogue: 1,000 tables x 20 columns, $MODULES views, procedures and triggers (test TDS server over FreeTDS); $RUNS runs; $(nproc) cores"
# The plain report with the plain window, then the structure document with the extended report.
# "offered" is the server's default: TLS for the login only. "not-supported": no TLS at all;
# "required": everything over TLS.
for format in text json; do
  if [[ $format == text ]]; then FORMAT_ARGS=(); WINDOW_ARGS=(); else FORMAT_ARGS=(--format json); WINDOW_ARGS=(--extended); fi
  LINK_RTT=0 run_case "$format, direct, login TLS" 1 0 --encryption offered
  LINK_RTT=$RTT run_case "$format, $RTT ms, login TLS" 0.5 8 --encryption offered
  LINK_RTT=$RTT run_case "$format, $RTT ms, no TLS" 0.5 6 --encryption not-supported
  LINK_RTT=$RTT run_case "$format, $RTT ms, all TLS" 0.6 8 --encryption required
done
