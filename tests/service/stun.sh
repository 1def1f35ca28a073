#!/bin/sh
# The shipped STUN server (service/stun) exactly as shipped, on Debian's
# coturn with its packet limit, asked by a client routed to it:
#
#   stun.sh BASE     BASE a folder of the build tree for the runs' state
#
# Needs Linux and root (else 77, a skip for CTest).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
# shellcheck source=tests/lib/rig.sh
. "$rig_lib/rig.sh"
# shellcheck source=tests/lib/netns.sh
. "$rig_lib/netns.sh"
# shellcheck source=tests/lib/stun.sh
. "$rig_lib/stun.sh"

netns_require turnserver turnutils_natdiscovery nft python3
rig_begin "$1"
stun_rig routed
for client in 10.84.0.3 10.84.0.4; do
    in_netns "$stun_client" ip addr add "$client/24" dev c0
done

ask() {
    in_netns "$stun_client" python3 "$here/stun_ask.py" "$@"
}

# flags padding answer: who answers a binding request, asked from
# 10.84.0.2; every answer names the client as it is and both of the
# server's addresses.
while read -r flags padding from; do
    answer=$(ask ask 10.84.0.2 "$stun_primary" 3478 "$flags" "$padding")
    case "$from" in
    none) expect "CHANGE-REQUEST $flags with $padding bytes of padding" "$answer" none ;;
    *)
        echo "$answer" | grep -Eqx "$from mapped=10\.84\.0\.2:[0-9]+ origin=$from other=$stun_secondary:3479" ||
            fail "CHANGE-REQUEST $flags: '$answer', expected from $from"
        echo "ok: CHANGE-REQUEST $flags answered from $from"
        ;;
    esac
done <<CASES
0 0 $stun_primary:3478
2 0 $stun_primary:3479
4 0 $stun_secondary:3478
6 0 $stun_secondary:3479
0 4 none
0 1000 none
CASES

# RFC 5780 as coturn's own client sees it; routed, nothing translates.
discovery=$(in_netns "$stun_client" turnutils_natdiscovery -m -f "$stun_primary")
for behaviour in Mapping Filtering; do
    echo "$discovery" | grep -q "NAT with Endpoint Independent $behaviour" ||
        fail "natdiscovery: no endpoint-independent $behaviour in: $discovery"
    echo "ok: natdiscovery finds endpoint-independent $behaviour"
done

# A flood from 10.84.0.3 is cut after the limit's burst (300 at once),
# then held to 60 a second, while the media probe's rate from 10.84.0.4 is
# served whole.
flooded=$(ask flood 10.84.0.3 "$stun_primary" 3478 3000 0)
if [ "$flooded" -lt 300 ] || [ "$flooded" -gt 330 ]; then
    fail "a flood of 3000 got $flooded answers"
fi
echo "ok: a flood of 3000 at once got $flooded answers"
ask flood 10.84.0.3 "$stun_primary" 3478 3000 1000 >"$rig_dir/flood" &
flood=$!
expect "50 a second for 3 s beside a flood" "$(ask flood 10.84.0.4 "$stun_primary" 3478 150 50)" 150
wait "$flood"
[ "$(cat "$rig_dir/flood")" -le 300 ] || fail "a flood of 1000 a second for 3 s got $(cat "$rig_dir/flood") answers"
echo "ok: a flood of 1000 a second for 3 s got $(cat "$rig_dir/flood") answers"

# What coturn wrote: its start-up, and no client.
grep -q 'Listener address to use' "$rig_dir/coturn.log" || fail "coturn's log is not where it was looked for"
! grep -n '10\.84\.' "$rig_dir/coturn.log" || fail "coturn's log names a client"
echo "PASS"
