#!/bin/sh
# Loads the Setup echo (service/echo/marvoly-h323.conf, exactly as shipped
# but for its call-back socket) on one core: nginx with one worker, pinned
# to the first core, and the load (bench_h323_load) pinned to the second,
# on loopback in a network namespace of its own.
#
#   bench/h323_echo.sh LOAD [SECONDS [CLIENTS [ROUNDS]]]   defaults 5 32 3
#
# LOAD is bench_h323_load of a build with -DMARVOLY_BENCH=ON.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../tests/lib
if [ -z "${MARVOLY_BENCH_NAMESPACE-}" ]; then
    MARVOLY_BENCH_NAMESPACE=1 exec sh "$rig_lib/private-net.sh" sh "$0" "$@"
fi
# shellcheck source=tests/lib/rig.sh
. "$rig_lib/rig.sh"
# shellcheck source=tests/lib/nginx.sh
. "$rig_lib/nginx.sh"
# shellcheck source=tests/lib/h323-echo.sh
. "$rig_lib/h323-echo.sh"
load=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
seconds=${2-5}
clients=${3-32}
rounds=${4-3}
rig_begin "$here/../build/bench-h323"
ip addr add 192.0.2.1/24 dev lo
# The callers, a /24 each (bench_h323_load).
ip route add local 198.18.0.0/16 dev lo
rig_own nginx "$rig_dir/echo"
MARVOLY_NGINX_WORKERS=1 MARVOLY_NGINX_CONNECTIONS=4096 h323_echo_start "$rig_dir/echo" ||
    fail "nginx did not start"
worker=$(pgrep -P "$(cat "$rig_dir/echo/nginx.pid")")
taskset -pc 0 "$worker" >/dev/null

# The worker's processor time so far, in clock ticks.
ticks() {
    sed 's/.*) //' "/proc/$worker/stat" | awk '{ print $12 + $13 }'
}

# Each line: the load's summary, and the exchanges per second of the
# worker's own processor time (what one core that does nothing else would
# serve: the machine's other work slows the wall clock, not this).
ulimit -n 8192
for _ in $(seq "$rounds"); do
    for kind in not-called called; do
        before=$(ticks)
        summary=$(taskset -c 1 "$load" "$seconds" "$clients" "$kind")
        echo "$summary $(($(ticks) - before))" | awk -v seconds="$seconds" -v hz="$(getconf CLK_TCK)" '
            { printf "%s %d/s p50 %s ms p99 %s ms, nginx busy %d%%: %d per core-second\n",
                     $1, $2, $3, $4, 100 * $5 / hz / seconds, $2 * seconds / ($5 / hz) }'
    done
done
