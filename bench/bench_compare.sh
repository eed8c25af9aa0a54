#!/usr/bin/env bash
# Times orvane-report --compare (wall time and peak memory, median of RUNS runs):
#   - two generated Access files of 2,000 tables x 30 columns (mkjet bench), the same structure,
#     and one with every hundredth column changed (mkjet --change-every 100);
#   - a snapshot of the one with 1 % of its columns changed (type or length) against the file;
#   - the test TDS server's 1,000 x 20 catalogue with every reply held back 50 ms against its
#     own snapshot.
#   bench/bench_compare.sh [RUNS]   (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${1:-3}

MKJET="$BUILD_DIR/tools/jetwriter/mkjet"
REPORT="$BUILD_DIR/src/orvane-report"
SERVER="$BUILD_DIR/tests/support/tds/tds-testserver"
MKCATALOG="$BUILD_DIR/tests/support/tds/tds-mkcatalog"
for tool in "$MKJET" "$REPORT" "$SERVER" "$MKCATALOG"; do
  if [[ ! -x $tool ]]; then
    echo "missing $tool: build it first (cmake --build $BUILD_DIR --target mkjet orvane-report tds-testserver tds-mkcatalog)" >&2
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

# measure LABEL EXPECTED-STATUS INPUT COMMAND...: median wall time and largest peak RSS.
measure() {
  local label=$1 expected=$2 input=$3
  shift 3
  local times=() rss=0 m start end status
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    status=0
    /usr/bin/time -o "$WORK/time.txt" -f "%M" "$@" <"$input" >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
    end=$EPOCHREALTIME
    if ((status != expected)); then
      echo "$label: exit status $status, expected $expected" >&2
      cat "$WORK/err.txt" >&2
      exit 1
    fi
    m=$(tail -n 1 "$WORK/time.txt")
    times+=("$(awk "BEGIN {printf \"%.3f\", $end - $start}")")
    ((m > rss)) && rss=$m
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
  printf '%-44s %7s s %7.1f MiB %6d difference lines  < 1 s and < 64 MiB: %s\n' "$label" "$median" \
    "$(awk "BEGIN {print $rss/1024}")" "$(grep -c '^          ' "$WORK/out.txt" || true)" \
    "$(awk "BEGIN {exit !($median < 1 && $rss < 65536)}" && echo ok || echo MISSED)"
}

printf '\n' >"$WORK/none.txt"
"$MKJET" bench "$WORK/a.mdb" 2000 30 >/dev/null
"$MKJET" bench "$WORK/b.mdb" 2000 30 >/dev/null
"$MKJET" --change-every 100 bench "$WORK/c.mdb" 2000 30 >/dev/null
"$REPORT" --format json --output "$WORK/a.json" "$WORK/a.mdb"
# Every hundredth column of the snapshot changes: its length grows, or a number becomes a Double.
python3 - "$WORK/a.json" "$WORK/changed.json" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
n = 0
for obj in doc["objects"]:
    for col in obj["columns"]:
        n += 1
        if n % 100 == 0:
            if col.get("typeCode") == 202:
                col["length"] += 1
            else:
                col["type"], col["typeCode"], col["length"] = "Double", 5, 8
json.dump(doc, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False, indent=2)
print(f"{n} columns, {n // 100} changed", file=sys.stderr)
PY
echo "Access: 2,000 tables x 30 columns; $RUNS runs each; $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
measure "Access file against Access file, equal" 0 "$WORK/none.txt" "$REPORT" --compare "$WORK/a.mdb" "$WORK/b.mdb"
measure "Access file against 1 % changed Access file" 3 "$WORK/none.txt" "$REPORT" --compare "$WORK/a.mdb" "$WORK/c.mdb"
measure "1 % changed snapshot against Access file" 3 "$WORK/none.txt" "$REPORT" --compare "$WORK/changed.json" "$WORK/a.mdb"

"$MKCATALOG" "$WORK/catalog" >/dev/null
"$SERVER" --catalog "$WORK/catalog" --port 0 --login bench:Bench1 --latency 50 >"$WORK/port" 2>"$WORK/server.err" &
SERVER_PID=$!
for _ in $(seq 100); do
  [[ -s $WORK/port ]] && break
  sleep 0.05
done
PORT=$(awk '/^port / {print $2; exit}' "$WORK/port")
[[ -n $PORT ]] || { echo "the test server did not start" >&2; exit 1; }
echo Bench1 >"$WORK/pw.txt"
"$REPORT" --format json --output "$WORK/big.json" --server "127.0.0.1,$PORT" --database big --user bench --password-stdin <"$WORK/pw.txt"
measure "SQL Server 1,000 x 20 at 50 ms against snapshot" 0 "$WORK/pw.txt" \
  "$REPORT" --compare "$WORK/big.json" --server "127.0.0.1,$PORT" --database big --user bench --password-stdin
