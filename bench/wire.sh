#!/bin/sh
# Watches one Internet lookup on the wire: captures the loopback traffic of
# the echo port with tshark while bench_lookup --once runs, then lists the
# request's segments and the gaps between them.
#
#   bench/wire.sh BENCH_LOOKUP PORT    (nginx must answer on 127.0.0.1:PORT)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
lookup=$1 port=$2
. "$here/loopback.sh"
require_loopback "$lookup" "$port"
capture=$(mktemp /tmp/marvoly-wire.XXXXXX.pcap)
log=$(mktemp)
trap 'rm -f "$capture" "$log"' EXIT

timeout 30 tshark -i lo -f "tcp port $port" -w "$capture" >"$log" 2>&1 &
tshark_pid=$!
# tshark says so once it captures; the lookup must not start before.
for _ in $(seq 100); do
    grep -q "Capturing on" "$log" && break
    sleep 0.1
done
"$lookup" --once
sleep 0.5
kill -INT "$tshark_pid"
wait "$tshark_pid" || true

# Client-to-server segments that carry data: the request's pieces.
tshark -r "$capture" -Y "tcp.dstport == $port && tcp.len > 0" \
    -T fields -e frame.time_relative -e tcp.len 2>/dev/null |
    awk 'NR == 1 { first = $1 } { printf "segment %2d  %4d bytes  at +%7.1f us  gap %6.1f us\n",
             NR, $2, ($1 - first) * 1e6, (NR > 1 ? ($1 - last) * 1e6 : 0); last = $1; total += $2 }
         END { printf "%d segments, %d bytes, first to last %.1f us\n", NR, total, (last - first) * 1e6 }'
tshark -r "$capture" -T fields -e frame.time_relative -e tcp.srcport -e tcp.dstport -e tcp.len \
    -e tcp.flags.str 2>/dev/null |
    awk -v port="$port" '{ dir = ($3 == port) ? "client >" : "< server"
        printf "%9.1f us  %s  %4d bytes  %s\n", $1 * 1e6, dir, $4, $5 }'
