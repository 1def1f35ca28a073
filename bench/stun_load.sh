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
. "$rig_lib/use.sh"
rig_use stun
netns_require turnserver nft taskset python3
rig_begin "$build/bench-stun"
stun_rig routed
taskset -a -p -c 0 "$stun_pid" >/dev/null

echo "one address, 10,000 requests a second for 10 s, through the shipped limit:"
in_netns "$client" python3 -c 'import os, socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setblocking(False)
start, answered = time.monotonic(), 0
for sent in range(100000):
    s.sendto(bytes.fromhex("000100002112a442") + os.urandom(12), (sys.argv[1], 3478))
    while time.monotonic() < start + sent / 10000:
        try:
            answered += len(s.recv(2048)) > 0
        except BlockingIOError:
            time.sleep(0.0001)
time.sleep(0.5)
try:
    while True:
        answered += len(s.recv(2048)) > 0
except BlockingIOError:
    print(answered, "answered in", round(time.monotonic() - start - 0.5, 1), "s")' "$stun_primary"

in_netns "$echo_ns" nft delete table inet marvoly_stun
for run in $(seq "$runs"); do
    printf 'run %s: ' "$run"
    ip netns exec "$client" taskset -c 1 "$build/bench/bench_stun_load" "$stun_primary" 3478 5
done
