#!/usr/bin/env bash
# Times opening a password-protected .accdb against its plain twin: a generated ACE file of
# 2,000 tables x 30 columns, encrypted by mkjet with agile AES-256/SHA-512 (100,000 SHA-512
# rounds, as Access 2010 and later write it). Measured, as wall time and peak memory:
#   - orvane-report on each file (a report starts the reader once: the catalogue run also answers the
#     system-table statement);
#   - the reader alone reading the catalogue of each;
#   - the reader refusing a wrong password: the key derivation and password check alone.
# The decryption of the pages is what the encrypted read costs beyond the plain read and the check.
#
#   bench/bench_accdb.sh [RUNS]   (BUILD_DIR defaults to build; TABLES, COLUMNS to 2000, 30;
#                                  SCHEME to agile-aes256-sha512, see mkjet's usage)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${1:-5}
TABLES=${TABLES:-2000}
COLUMNS=${COLUMNS:-30}
SCHEME=${SCHEME:-agile-aes256-sha512}

MKJET="$BUILD_DIR/tools/jetwriter/mkjet"
REPORT="$BUILD_DIR/src/orvane-report"
READER="$BUILD_DIR/src/orvane-jet-reader"
for tool in "$MKJET" "$REPORT" "$READER"; do
  if [[ ! -x $tool ]]; then
    echo "missing $tool: build it first (cmake --build $BUILD_DIR --target mkjet orvane-report)" >&2
    exit 1
  fi
done
if [[ ! -x /usr/bin/time ]]; then
  echo "/usr/bin/time not found (Debian package time)" >&2
  exit 1
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PLAIN="$WORK/plain.accdb"
LOCKED="$WORK/locked.accdb"
printf 'Bench-Passw0rt\n' >"$WORK/right.txt"
printf 'bench-passw0rt\n' >"$WORK/wrong.txt"
printf '\n' >"$WORK/none.txt"
"$MKJET" --format ace bench "$PLAIN" "$TABLES" "$COLUMNS" >/dev/null
"$MKJET" --password-stdin encrypt "$SCHEME" "$PLAIN" "$LOCKED" <"$WORK/right.txt" >/dev/null
echo "Files: $TABLES tables x $COLUMNS columns, $(( $(stat -c %s "$PLAIN") / 1024 )) KiB ($(( $(stat -c %s "$PLAIN") / 4096 )) pages); $SCHEME; $RUNS runs each; $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"

# Median wall time (s), median CPU time (user + system, s) and largest peak RSS (KiB) of RUNS runs
# of a command with INPUT as its standard input, output discarded. Wall and CPU time come from the
# shell (microseconds, where GNU time counts CPU in 10 ms steps); the CPU time, which a busy machine
# disturbs less than the wall time, includes the reader processes a report starts.
measure() {
  local input=$1
  shift
  local times=() cpus=() rss=0 t m c start end
  local TIMEFORMAT='%6U %6S'
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    { time /usr/bin/time -o "$WORK/time.txt" -f "%M" "$@" <"$input" >/dev/null 2>/dev/null; } 2>"$WORK/cpu.txt" || true
    end=$EPOCHREALTIME
    m=$(tail -n 1 "$WORK/time.txt")
    read -r u s <"$WORK/cpu.txt"
    t=$(awk "BEGIN {printf \"%.4f\", $end - $start}")
    c=$(awk "BEGIN {printf \"%.4f\", $u + $s}")
    times+=("$t")
    cpus+=("$c")
    (( m > rss )) && rss=$m
  done
  echo "$(median "${times[@]}") $(median "${cpus[@]}") $rss"
}
median() {
  printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
}

# Both reports must exist and agree but for the file name: a failing run would look fast.
"$REPORT" --language en "$PLAIN" | grep -v 'Date:' | sed "s|$PLAIN|FILE|" >"$WORK/plain.txt"
"$REPORT" --language en --password-stdin "$LOCKED" <"$WORK/right.txt" | grep -v 'Date:' | sed "s|$LOCKED|FILE|" >"$WORK/locked.txt"
cmp -s "$WORK/plain.txt" "$WORK/locked.txt" || { echo "the two reports differ" >&2; exit 1; }
if "$REPORT" --password-stdin "$LOCKED" <"$WORK/wrong.txt" >/dev/null 2>&1; then
  echo "a wrong password opened the file" >&2
  exit 1
fi
LINES=$(wc -l <"$WORK/plain.txt")

read -r RP_S RP_C RP_KB < <(measure "$WORK/none.txt" "$REPORT" --language en "$PLAIN")
read -r RL_S RL_C RL_KB < <(measure "$WORK/right.txt" "$REPORT" --language en --password-stdin "$LOCKED")
read -r CP_S CP_C CP_KB < <(measure "$WORK/none.txt" "$READER" catalogue "$PLAIN")
read -r CL_S CL_C CL_KB < <(measure "$WORK/right.txt" "$READER" catalogue "$LOCKED")
read -r CW_S CW_C CW_KB < <(measure "$WORK/wrong.txt" "$READER" catalogue "$LOCKED")

mib() { awk "BEGIN {printf \"%.1f\", $1/1024}"; }
ms() { awk "BEGIN {printf \"%.0f\", $1*1000}"; }
row() { printf '%-46s %10s %10s %12s\n' "$1" "$(ms "$2")" "$(ms "$3")" "$(mib "$4")"; }
printf '\n%-46s %10s %10s %12s\n' "command" "wall [ms]" "CPU [ms]" "peak [MiB]"
row "orvane-report, plain ($LINES lines)" "$RP_S" "$RP_C" "$RP_KB"
row "orvane-report, encrypted" "$RL_S" "$RL_C" "$RL_KB"
row "reader (catalogue), plain" "$CP_S" "$CP_C" "$CP_KB"
row "reader (catalogue), encrypted" "$CL_S" "$CL_C" "$CL_KB"
row "reader, wrong password" "$CW_S" "$CW_C" "$CW_KB"
printf '\nper reader run, encrypted beyond plain: %s ms wall, %s ms CPU; a refused password (start-up,\n' \
  "$(ms "($CL_S - $CP_S)")" "$(ms "($CL_C - $CP_C)")"
printf 'header, key derivation, no page touched): %s ms wall, %s ms CPU\n' "$(ms "$CW_S")" "$(ms "$CW_C")"
