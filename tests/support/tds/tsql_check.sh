#!/bin/sh
# FreeTDS's own tsql, a client independent of the program, logs in to the test server and gets a
# query result, with encryption off (the login stays plain), requested (login-only TLS) and
# required (everything over TLS). Usage: tsql_check.sh TDS_TESTSERVER
set -eu
server=$1
command -v tsql >/dev/null 2>&1 || { echo "tsql (freetds-bin) is not installed; skipped"; exit 77; }
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/catalog"
"$server" --catalog "$work/catalog" --login check:secret >"$work/port" 2>"$work/server.err" &
pid=$!
i=0
while ! grep -q '^port ' "$work/port" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -lt 200 ] || { echo "the test server did not start"; cat "$work/server.err"; exit 1; }
    sleep 0.05
done
port=$(sed -n 's/^port //p' "$work/port")
for encryption in off request require; do
    cat >"$work/freetds.conf" <<CONF
[check]
	host = 127.0.0.1
	port = $port
	tds version = 7.4
	encryption = $encryption
CONF
    printf 'SELECT 6 * 7 AS answer\ngo\nexit\n' |
        FREETDSCONF="$work/freetds.conf" tsql -S check -U check -P secret -o q >"$work/out" 2>&1 || true
    if ! grep -qx '42' "$work/out"; then
        echo "tsql with encryption = $encryption did not get the result:"
        cat "$work/out"
        exit 1
    fi
    echo "encryption = $encryption: logged in, 6 * 7 = 42"
done
