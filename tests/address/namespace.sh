#!/bin/sh
# Runs a test program in a network namespace made for it: loopback, the
# interface d0 with 198.51.100.7 (one end of a veth pair whose other end
# stays down), and a firewall on loopback that silently
# drops the connection requests (SYNs) to 192.0.2.1 and refuses those to
# 192.0.2.2 with a reset. The program learns the addresses from its
# environment; afterwards both rules must have seen its requests.
#
#   namespace.sh WORK PROGRAM
#
# WORK is a folder of the build tree for this rig's runs. Needs Linux, root
# and iptables; elsewhere it ends with 77, a skip for CTest.
set -eu
rig_lib=$(cd "$(dirname "$0")/../lib" && pwd)
. "$rig_lib/use.sh"
rig_use netns

netns_require iptables
rig_begin "$1"
ns=$rig_id-fw
dropping=192.0.2.1
refusing=192.0.2.2
netns_add "$ns"
netns_link "$ns" d0 "$ns" d1
netns_address "$ns" d0 198.51.100.7/24
in_netns "$ns" ip addr add "$dropping/32" dev lo
in_netns "$ns" ip addr add "$refusing/32" dev lo
in_netns "$ns" iptables -A INPUT -d "$dropping" -p tcp --syn -j DROP
in_netns "$ns" iptables -A INPUT -d "$refusing" -p tcp --syn -j REJECT --reject-with tcp-reset

in_netns "$ns" env MARVOLY_NS_DROPPING=$dropping MARVOLY_NS_REFUSING=$refusing \
    MARVOLY_NS_LOCAL=198.51.100.7 "$2"
for rule in DROP REJECT; do
    packets=$(in_netns "$ns" iptables -L INPUT -v -x -n | awk -v rule=$rule '$3 == rule { print $1 }')
    [ "${packets:-0}" -gt 0 ] || fail "the $rule rule saw no connection request"
    echo "ok: the $rule rule saw $packets packets"
done
