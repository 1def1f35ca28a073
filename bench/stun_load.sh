#!/bin/sh
# What the shipped STUN server (service/stun) serves on one core, and what
# one address can draw from it through the shipped limit, in the namespaces
# of tests/lib/stun.sh (routed client):
#
#   bench/stun_load.sh BUILD [RUNS]   (as root; BUILD has -DMARVOLY_BENCH=ON)
#
# coturn runs on CPU 0 and the load on CPU 1. For the load, the limit is
# taken away (all of it comes from one address); each run lasts 5 s.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
runs=${2-5}
rig_lib=$here/../tests/lib
# shellcheck source=tests/lib/rig.sh
. "$rig_lib/rig.sh"
# shellcheck source=tests/lib/netns.sh
. "$rig_lib/netns.sh"
# shellcheck source=tests/lib/stun.sh
. "$rig_lib/stun.sh"
netns_require turnserver nft taskset python3
rig_begin "$build/bench-stun"
stun_rig routed
taskset -a -p -c 0 "$stun_pid" >/dev/null

echo "one address, 10,000 requests a second for 10 s, through the shipped limit:"
in_netns "$stun_client" python3 "$here/../tests/service/stun_ask.py" \
    flood 10.84.0.2 "$stun_primary" 3478 100000 10000 | sed 's/$/ answered/'

in_netns "$stun_server" nft delete table inet marvoly_stun
for run in $(seq "$runs"); do
    printf 'run %s: ' "$run"
    ip netns exec "$stun_client" taskset -c 1 "$build/bench/bench_stun_load" "$stun_primary" 3478 5
done
