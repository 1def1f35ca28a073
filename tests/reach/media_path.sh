#!/bin/sh
# The shipped STUN server (service/stun, on coturn with its packet limit)
# and the media-path probe (src/reach/media_path.cpp), in a client
# namespace behind a real router (tests/lib/stun.sh), in the cases that the
# deep rig (tests/e2e/native/deep.sh) does not have: a lossy path, a server
# with one address, a name that does not resolve, a server that lies
# (stun_liar.py), and the server itself.
# Wherever the probe finds a mapping and a filtering, coturn's own
# natdiscovery, from the same client, must find the same; routed, the
# server is also checked as shipped: its answers, CHANGE-REQUEST, a flood
# and its log.
#
#   media_path.sh SCENARIO PROBE BASE  a line of the table below; PROBE
#                                      the built media_path_probe; BASE a
#                                      folder of the build tree
#
# Needs Linux and root (else 77, a skip for CTest).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
. "$rig_lib/use.sh"
rig_use stun

# scenario    router passes  mapped        mapping                    filtering                  hairpin media
scenarios() {
    cat <<'TABLE'
routed        routed yes     10.84.0.2     endpoint-independent       endpoint-independent       yes     whole
one-address   routed yes     10.84.0.2     unknown                    unknown                    yes     whole
lossy         loss   yes     203.0.113.254 endpoint-independent       address-and-port-dependent no      lossy
unknown-name  routed unknown -             unknown                    unknown                    unknown none
lie-other     routed yes     10.84.0.2     unknown                    unknown                    yes     whole
lie-lan       routed yes     10.84.0.2     unknown                    unknown                    yes     whole
lie-mapped    routed yes     -             unknown                    unknown                    unknown whole
TABLE
}

row=$(scenarios | awk -v name="${1-}" '$1 == name')
[ -n "$row" ] && [ $# -eq 3 ] || fail "usage: $0 SCENARIO PROBE BASE"
probe=$2
# shellcheck disable=SC2086 # the row's words
set -- $row "$3"
scenario=$1 passes=$3 mapped=$4 mapping=$5 filtering=$6 hairpin=$7 media=$8
netns_require turnserver turnutils_natdiscovery nft iptables
rig_begin "$9"
conf=$rig_lib/../../service/stun/marvoly-stun.conf
if [ "$scenario" = one-address ]; then # the first address only
    awk '!/^listening-ip=/ || !seen++' "$conf" >"$rig_dir/one.conf"
    conf=$rig_dir/one.conf
fi
# The lies of the lie- rows, each aimed at the router: its second outside
# address on the server's own port, its LAN address, a multicast group.
case "$scenario" in
lie-other) lie=other=203.0.113.9:3478 ;;
lie-lan) lie=other=10.84.0.1:3479 ;;
lie-mapped) lie=mapped=224.0.0.1:3478 ;;
*) lie= ;;
esac
if [ -n "$lie" ]; then
    server=203.0.113.1
    topology_net 10.84.0 203.0.113.254 "$server"
    topology_sealed
    netns_address "$router" r1 203.0.113.9/24
    echo 'table ip victim { chain in { type filter hook prerouting priority -500;
        meta l4proto udp ip daddr { 10.84.0.1, 203.0.113.9, 224.0.0.1 } counter; }; }' |
        in_netns "$router" nft -f - || fail "the router's counter did not load"
    timeout 20 ip netns exec "$echo_ns" python3 "$here/stun_liar.py" "$server:3478" "$lie" \
        >"$rig_dir/liar" 2>&1 &
    rig_own_pid $!
    wait_until 50 grep -q ready "$rig_dir/liar" || fail "the liar did not start: $(cat "$rig_dir/liar")"
else
    stun_rig "$2" "$conf"
    server=$stun_primary
fi
[ "$scenario" != unknown-name ] || server=stun.marvoly.invalid

field() {
    sed -n "s/^$1 //p" "$rig_dir/path"
}

# The probe's record, and its time within its budget of 5 s; whatever it
# could not find out has a reason.
in_netns "$client" "$probe" "$server" >"$rig_dir/path"
cat "$rig_dir/path"
[ "$(field took)" -le 5100 ] || fail "the probe took $(field took) ms"
expect passes "$(field passes)" "$passes"
expect mapping "$(field mapping)" "$mapping"
expect filtering "$(field filtering)" "$filtering"
expect hairpin "$(field hairpin)" "$hairpin"
address=$(field mapped | cut -d: -f1)
expect "mapped address" "${address:--}" "$mapped"
case "$passes $mapping" in
"yes unknown" | no* | unknown*) [ -n "$(field reason)" ] || fail "no reason for the unknowns" ;;
esac
if [ -n "$lie" ]; then # nothing went where the liar named, and the record says why
    expect "datagrams aimed by the liar" \
        "$(in_netns "$router" nft list chain ip victim in | sed -n 's/.*packets \([0-9]*\).*/\1/p')" 0
    reason="the STUN server's second address may not be sent to"
    [ "${lie%%=*}" = other ] || reason="the STUN server gave a mapped address that may not be sent to"
    expect reason "$(field reason)" "$reason"
fi
# media SENT RECEIVED loss L rtt MEDIAN P95 jitter J reordered R grade G
# shellcheck disable=SC2046 # the record's words
set -- $(field media)
case "$media" in
whole) expect "media answered and graded" "$1 $2 ${13}" "150 150 good" ;;
lossy)
    # Exactly what the router dropped of them is lost: over 5 % (7.5) is
    # poor, else fair.
    lost=$(in_netns "$router" nft list chain ip rig cut | sed -n 's/.*length 180 .*packets \([0-9]*\) .*/\1/p')
    grade=fair
    [ "$lost" -le 7 ] || grade=poor
    expect "media lost and graded" "$(($1 - $2)) ${13}" "$lost $grade"
    ;;
none) expect "media sent" "$1" 0 ;;
esac

# natdiscovery asks once each, too few for a lossy path.
verdict() {
    found=$(sed -n "s/^NAT with \(.*\) $1!\$/\1/ip" "$rig_dir/discovery" | tr 'A-Z ' 'a-z-')
    echo "${found:-unknown}"
}
if [ "$media" = whole ] && [ -z "$lie" ]; then
    in_netns "$client" turnutils_natdiscovery -m -f "$server" >"$rig_dir/discovery"
    expect "natdiscovery's mapping" "$(verdict mapping)" "$mapping"
    expect "natdiscovery's filtering" "$(verdict filtering)" "$filtering"
fi
if [ "$scenario" != routed ]; then
    echo "PASS: $scenario"
    exit 0
fi

# Routed, the server as shipped. The probe above had answers from both
# addresses and ports, and as natdiscovery saw them, they name where they
# come from and the other address.
for line in "Response origin: : $stun_primary:3478" "Other addr: : $stun_secondary:3479"; do
    grep -qF "$line" "$rig_dir/discovery" || fail "natdiscovery saw no '$line'"
done

# send SOURCE COUNT MESSAGE: requests from SOURCE, 1 ms apart, each the
# MESSAGE's type and attributes (in hex) with a header between them.
send() {
    in_netns "$client" python3 -c 'import os, socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 0))
kind, more = bytes.fromhex(sys.argv[3][:4]), bytes.fromhex(sys.argv[3][4:])
for _ in range(int(sys.argv[2])):
    s.sendto(kind + len(more).to_bytes(2, "big") + bytes.fromhex("2112a442") + os.urandom(12) + more,
             (sys.argv[4], 3478))
    time.sleep(0.001)' "$@" "$stun_primary"
}
# What comes to the client, counted before fragments are put together.
for extra in 10.84.0.3 10.84.0.4; do
    in_netns "$client" ip addr add "$extra/24" dev c0
done
echo 'table ip watch { chain in { type filter hook prerouting priority -500;
    ip length > 512 counter; ip daddr 10.84.0.3 counter; ip daddr 10.84.0.4 counter; }; }' |
    in_netns "$client" nft -f -
counted() {
    in_netns "$client" nft list chain ip watch in | sed -n "s/.*$1 .*packets \([0-9]*\).*/\1/p"
}

# A TURN allocation is not answered; answers padded (PADDING) to 1,500
# bytes never reach the client whole; a flood of 3,000 requests from
# 10.84.0.3 is cut to the limit's burst (300) and 60 a second, while the
# router's own address gets every media request answered.
send 10.84.0.4 3 00030019000411000000
send 10.84.0.2 3 0001002600040000000000
send 10.84.0.2 3 0001002603e8"$(printf '%02000d' 0)"
started=$(date +%s%N)
send 10.84.0.3 3000 0001 &
flood=$!
in_netns "$router" "$probe" "$stun_primary" >"$rig_dir/path"
wait "$flood"
limit=$((330 + ($(date +%s%N) - started) * 60 / 1000000000))
expect "answers to an allocation" "$(counted 10.84.0.4)" 0
expect "large answers that reached the client" "$(counted 512)" 0
[ "$(counted 10.84.0.3)" -le "$limit" ] || fail "a flood of 3000 got $(counted 10.84.0.3) answers"
echo "ok: a flood of 3000 got $(counted 10.84.0.3) answers, at most $limit"
expect "media beside the flood" "$(field media | cut -d' ' -f1,2)" "150 150"

# What coturn wrote: its start-up, and no client.
grep -q 'Listener address to use' "$rig_dir/coturn.log" || fail "coturn's log is not where it was looked for"
! grep -nE '10\.84\.|203\.0\.113\.254' "$rig_dir/coturn.log" || fail "coturn's log names a client"
echo "PASS: $scenario"
