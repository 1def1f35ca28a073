#!/bin/sh
# The echo service as a fleet, behind the real HAProxy, in namespaces of
# this run (tests/lib/fleet.sh), asked by two clients over a router:
#
#   ID-nat (10.84.0.2) ------+
#                            ID-router (203.0.113.1) --- the fleet (203.0.113.80)
#   ID-routed (198.51.100.2) +
#
# The router translates the first client's address to its own and passes
# the second's as it is. Needs Linux and root; elsewhere it ends with 77 (a
# skip for CTest).
#
#   fleet.sh BASE   (a folder of the build tree for the runs' state)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
# shellcheck source=tests/lib/rig.sh
. "$rig_lib/rig.sh"
# shellcheck source=tests/lib/netns.sh
. "$rig_lib/netns.sh"
# shellcheck source=tests/lib/nginx.sh
. "$rig_lib/nginx.sh"
# shellcheck source=tests/lib/haproxy.sh
. "$rig_lib/haproxy.sh"
# shellcheck source=tests/lib/fleet.sh
. "$rig_lib/fleet.sh"
# shellcheck source=tests/service/answers.sh disable=SC2034
. "$here/answers.sh"

netns_require iptables nginx haproxy curl
rig_begin "$1"
answers=$rig_dir
router=$rig_id-router
for ns in "$router" "$rig_id-nat" "$rig_id-routed"; do
    netns_add "$ns"
done
netns_link "$rig_id-nat" c0 "$router" r0
netns_link "$rig_id-routed" c0 "$router" r2
fleet_up "$router" r1
netns_address "$router" r1 203.0.113.1/24
in_netns "$router" sysctl -q -w net.ipv4.ip_forward=1
in_netns "$router" iptables -t nat -A POSTROUTING -s 10.84.0.0/24 -o r1 -j MASQUERADE
while read -r client inner; do
    netns_address "$rig_id-$client" c0 "$inner.2/24"
    in_netns "$rig_id-$client" ip route add default via "$inner.1"
    netns_address "$router" "$(test "$client" = nat && echo r0 || echo r2)" "$inner.1/24"
done <<'CLIENTS'
nat    10.84.0
routed 198.51.100
CLIENTS
server=$fleet_address:80

# served N ADDRESS: the requests from ADDRESS that host N answered.
served() {
    awk -v host="192.0.2.2$1" -v client="$2" '$1 == client && $2 == host' "$fleet_log" | wc -l
}

# client, its own address, the address the page must show; each asks ten
# times, and both hosts must have answered.
while read -r client local public; do
    runner="ip netns exec $rig_id-$client"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        ask "$local" GET /firewall/ip.tpl
        check_answer "$client through the balancer" 200 "$public" GET
    done
    echo "$client: host 1 served $(served 1 "$public"), host 2 $(served 2 "$public")"
    for host in 1 2; do
        [ "$(served $host "$public")" -gt 0 ] || fail "$client: host $host served none"
    done

    # What the client claims itself is never believed.
    ask "$local" GET /firewall/ip.tpl --header 'X-Forwarded-For: 192.0.2.99'
    check_answer "$client with its own X-Forwarded-For" 200 "$public" GET
    send "$local" 'PROXY TCP4 192.0.2.99 203.0.113.80 4000 80\r\nGET /firewall/ip.tpl HTTP/1.0\r\n\r\n'
    ! grep -q '192\.0\.2\.99' "$answers/body" || fail "$client: its own PROXY header was believed"
    expect "$client with its own PROXY header, the status" \
        "$(sed -n '1s/^HTTP\/[0-9.]* \([0-9]*\).*/\1/p' "$answers/body")" 400
done <<'CLIENTS'
nat    10.84.0.2    203.0.113.1
routed 198.51.100.2 198.51.100.2
CLIENTS

# With one host gone, every request still gets the page, from the other.
fleet_stop_host 2
before=$(served 1 203.0.113.1)
runner="ip netns exec $rig_id-nat"
for _ in 1 2 3 4 5 6 7 8 9 10; do
    ask 10.84.0.2 GET /firewall/ip.tpl
    check_answer "with host 2 stopped" 200 203.0.113.1 GET
done
expect "requests host 1 served with host 2 stopped" "$(($(served 1 203.0.113.1) - before))" 10
echo "PASS: fleet"
