#!/usr/bin/env bash
# Times the structure report on a large generated Access file: orvane-report against mdbtools'
# mdb-schema on the same file (wall time and peak memory), and the window's Refresh, Select all and
# Output (offscreen) when the window's benchmark driver is built.
#
#   bench/bench_report.sh [RUNS]        (BUILD_DIR defaults to build; TABLES, COLUMNS, QUERIES to
#                                        2000, 30, 500)
#
# Targets: orvane-report's plain report no more than twice mdb-schema's time, --format json no
# more than three times, each under 64 MiB peak; the window's three commands under 2 s together,
# with the plain and with the extended report.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${1:-5}
TABLES=${TABLES:-2000}
COLUMNS=${COLUMNS:-30}
QUERIES=${QUERIES:-500}

MKJET="$BUILD_DIR/tools/jetwriter/mkjet"
REPORT="$BUILD_DIR/src/orvane-report"
WINDOW="$BUILD_DIR/bench/bench_window"
for tool in "$MKJET" "$REPORT"; do
  if [[ ! -x $tool ]]; then
    echo "missing $tool: build it first (cmake --build $BUILD_DIR --target mkjet orvane-report)" >&2
    exit 1
  fi
done
if ! command -v mdb-schema >/dev/null; then
  echo "mdb-schema not found (Debian package mdbtools)" >&2
  exit 1
fi
if [[ ! -x /usr/bin/time ]]; then
  echo "/usr/bin/time not found (Debian package time)" >&2
  exit 1
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FILE="$WORK/bench.mdb"
"$MKJET" --queries "$QUERIES" bench "$FILE" "$TABLES" "$COLUMNS" >/dev/null
echo "File: $TABLES tables x $COLUMNS columns, $QUERIES saved queries, $(( $(stat -c %s "$FILE") / 1024 )) KiB; $RUNS runs each; $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"

# Median wall time (s, to the microsecond) and largest peak RSS (KiB) of RUNS runs of a command,
# output discarded. GNU time's own clock has 10 ms steps, too coarse next to runs of 60-100 ms, so
# the wall time comes from the shell's microsecond clock around the call.
measure() {
  local times=() rss=0 t m start end
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    /usr/bin/time -o "$WORK/time.txt" -f "%M" "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    read -r m <"$WORK/time.txt"
    t=$(awk "BEGIN {printf \"%.4f\", $end - $start}")
    times+=("$t")
    (( m > rss )) && rss=$m
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
  echo "$median $rss"
}

# Check the report really ran: a failing program would look fast.
"$REPORT" --language en "$FILE" >"$WORK/report.txt"
LINES=$(wc -l <"$WORK/report.txt")
mdb-schema "$FILE" >/dev/null

read -r REPORT_S REPORT_KB < <(measure "$REPORT" --language en "$FILE")
read -r SCHEMA_S SCHEMA_KB < <(measure mdb-schema "$FILE")
"$REPORT" --format json "$FILE" | python3 -c 'import json,sys; json.load(sys.stdin)'
read -r JSON_S JSON_KB < <(measure "$REPORT" --format json "$FILE")
read -r DETAIL_S DETAIL_KB < <(measure "$REPORT" --detail --language en "$FILE")

if command -v hyperfine >/dev/null; then
  hyperfine --warmup 1 --runs "$RUNS" --style basic \
    "$REPORT --language en $FILE" "mdb-schema $FILE" --output=null
fi

verdict() { if awk "BEGIN {exit !($1)}"; then echo "ok"; else echo "MISSED"; fi; }

printf '\n%-34s %10s %12s  %s\n' "command" "wall [s]" "peak [MiB]" "target"
printf '%-34s %10s %12.1f  %s\n' "orvane-report ($LINES lines)" "$REPORT_S" "$(awk "BEGIN {print $REPORT_KB/1024}")" \
  "<= 2 x mdb-schema: $(verdict "$REPORT_S <= 2 * $SCHEMA_S"), < 64 MiB: $(verdict "$REPORT_KB < 65536")"
printf '%-34s %10s %12.1f  %s\n' "orvane-report --format json" "$JSON_S" "$(awk "BEGIN {print $JSON_KB/1024}")" \
  "<= 3 x mdb-schema: $(verdict "$JSON_S <= 3 * $SCHEMA_S"), < 64 MiB: $(verdict "$JSON_KB < 65536")"
printf '%-34s %10s %12.1f\n' "orvane-report --detail" "$DETAIL_S" "$(awk "BEGIN {print $DETAIL_KB/1024}")"
printf '%-34s %10s %12.1f\n' "mdb-schema" "$SCHEMA_S" "$(awk "BEGIN {print $SCHEMA_KB/1024}")"

if [[ -x $WINDOW ]]; then
  # The driver prints its own figures for Refresh, Select all and Output (offscreen).
  echo
  echo "window ($WINDOW):"
  QT_QPA_PLATFORM=offscreen "$WINDOW" "$FILE"
  QT_QPA_PLATFORM=offscreen "$WINDOW" --extended "$FILE"
else
  echo
  echo "window: $WINDOW is not built; the Refresh/Select all/Output figures are missing"
fi
