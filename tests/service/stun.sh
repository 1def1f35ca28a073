#!/bin/sh
# The shipped STUN server's packet limit when forged sources fill its set:
# coturn as shipped behind the shipped marvoly-stun.nft (tests/lib/stun.sh,
# routed), forged requests from the router, and a client that asks.
#
#   stun.sh BASE
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
. "$rig_lib/use.sh"
rig_use netns stun
netns_require turnserver nft
rig_begin "$1"
stun_rig routed
request=000100002112a442000102030405060708090a0b

answered=$(for port in 40000 1000; do in_netns "$client" python3 -c 'import select, socket, sys
port, listener, asker = int(sys.argv[2]), socket.socket(2, 2), socket.socket(2, 2); listener.bind(("10.84.0.2", port))
asker.sendto(bytes.fromhex("000100082112a442000102030405060708090a0b00270004") + port.to_bytes(2, "big") + bytes(2), (sys.argv[1], 3478))
print(bool(select.select([listener], [], [], 1)[0]))' "$stun_primary" $port; done)
expect "answers aimed by RESPONSE-PORT at 40000 and 1000 (none below 1024)" "$(echo $answered)" "True False"

# Forged sources fill the set of 65,536; one fresh client's 1,000 requests
# then share the allowance of one source with the forged ones.
in_netns "$router" python3 "$here/forge.py" fill "netns exec $echo_ns" inet marvoly_stun sources udp \
    "$stun_primary" 3478 $request
started=$(date +%s)
answered=$(in_netns "$client" python3 "$here/forge.py" ask 10.84.0.2 "$stun_primary" 3478 1000 $request)
seconds=$(($(date +%s) - started + 1))
[ "$answered" -le $((300 + 60 * seconds)) ] ||
    fail "with the set full, $answered of 1000 requests were answered"
echo "ok: with the set full, $answered of 1000 requests answered"
echo "PASS"
