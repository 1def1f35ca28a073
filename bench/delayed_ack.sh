#!/bin/sh
# Lookups against an echo server that acknowledges late (delayed_ack_peer.py),
# in a network namespace of its own, so the port is free whatever runs
# outside. Prints the median, the 90th percentile, the worst and how many
# took over 10 ms.
#
#   bench/delayed_ack.sh BENCH_LOOKUP PORT [COUNT]   (default 200)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1-}" != --inside ]; then
    exec "$here/../tests/lib/private-net.sh" sh "$0" --inside "$@"
fi
lookup=$2
port=$3
count=${4-200}
. "$here/loopback.sh"
require_loopback "$lookup" "$port"
python3 "$here/delayed_ack_peer.py" "$port" >/dev/null 2>&1 &
peer=$!
trap 'kill "$peer"' EXIT
sleep 0.5
for _ in $(seq "$count"); do
    timeout 10 "$lookup" --once
done | sort -n | awk '{ t[NR] = $1; if ($1 > 10000) slow++ }
    END { printf "%d lookups: median %.0f us, p90 %.0f us, worst %.0f us, over 10 ms: %d\n",
          NR, t[int((NR + 1) / 2)], t[int(NR * 0.9)], t[NR], slow }'
