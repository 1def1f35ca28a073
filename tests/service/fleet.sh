#!/bin/sh
# The echo service as a fleet behind the real HAProxy, in the fleet mode of
# the namespace scenarios' topology (tests/lib/topology.sh), with a
# second client that the router passes on without translation:
#
#   ID-client (10.84.0.2) ---+
#                            ID-router (203.0.113.1) --- the fleet (203.0.113.80)
#   ID-routed (198.51.100.2) +
#
# Needs Linux and root; elsewhere it ends with 77 (a skip for CTest).
#
#   fleet.sh BASE   (a folder of the build tree for the runs' state)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$(cd "$here/../lib" && pwd)
. "$rig_lib/use.sh"
rig_use netns nginx
rig_use topology
# shellcheck source=tests/service/answers.sh disable=SC2034
. "$here/answers.sh"

netns_require iptables nginx haproxy curl
rig_begin "$1"
answers=$rig_dir
topology_up fleet
netns_add "$rig_id-routed"
netns_link "$rig_id-routed" c0 "$router" r2
netns_address "$rig_id-routed" c0 198.51.100.2/24
in_netns "$rig_id-routed" ip route add default via 198.51.100.1
netns_address "$router" r2 198.51.100.1/24
server=$fleet_address:80

# served N ADDRESS: the requests from ADDRESS that host N answered.
served() {
    awk -v host="192.0.2.2$1" -v client="$2" '$1 == client && $2 == host' "$fleet_log" | wc -l
}

# which client, its own address, the address the page must show; each asks ten
# times, and both hosts must have answered.
while read -r who local public; do
    runner="ip netns exec $rig_id-$who"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        ask "$local" GET /firewall/ip.tpl
        check_answer "$who through the balancer" 200 "$public" GET
    done
    echo "$who: host 1 served $(served 1 "$public"), host 2 $(served 2 "$public")"
    for host in 1 2; do
        [ "$(served $host "$public")" -gt 0 ] || fail "$who: host $host served none"
    done

    # What the client claims itself is never believed.
    ask "$local" GET /firewall/ip.tpl --header 'X-Forwarded-For: 192.0.2.99'
    check_answer "$who with its own X-Forwarded-For" 200 "$public" GET
    send "$local" 'PROXY TCP4 192.0.2.99 203.0.113.80 4000 80\r\nGET /firewall/ip.tpl HTTP/1.0\r\n\r\n'
    ! grep -q '192\.0\.2\.99' "$answers/body" || fail "$who: its own PROXY header was believed"
    expect "$who with its own PROXY header, the status" \
        "$(sed -n '1s/^HTTP\/[0-9.]* \([0-9]*\).*/\1/p' "$answers/body")" 400
done <<'CLIENTS'
client 10.84.0.2    203.0.113.1
routed 198.51.100.2 198.51.100.2
CLIENTS

# One address holding half-sent requests, more than both hosts have
# connections: the balancer lets it hold 20, and others still get the page.
ip netns exec "$rig_id-routed" python3 "$here/hold.py" 198.51.100.2 "$server" 1000 >"$rig_dir/held" &
rig_own_pid $!
wait_until 100 test -s "$rig_dir/held" || fail "the holder did not start"
expect "connections that one address holds of 1000" "$(cat "$rig_dir/held")" 20
runner="ip netns exec $client"
ask 10.84.0.2 GET /firewall/ip.tpl --max-time 2
check_answer "another address meanwhile" 200 203.0.113.1 GET

# With one host gone, every request still gets the page, from the other.
fleet_stop_host 2
before=$(served 1 203.0.113.1)
for _ in 1 2 3 4 5 6 7 8 9 10; do
    ask 10.84.0.2 GET /firewall/ip.tpl
    check_answer "with host 2 stopped" 200 203.0.113.1 GET
done
expect "requests host 1 served with host 2 stopped" "$(($(served 1 203.0.113.1) - before))" 10

# An address that opens connections too fast is refused after 300 in 10 s
# (with the few it opened just before, fewer).
refused=$(flood 10.84.0.2 330 | grep -cx 000) || true
{ [ "$refused" -ge 30 ] && [ "$refused" -le 60 ]; } || fail "of 330 in a row, $refused refused"
echo "ok: of 330 in a row, $refused refused"
echo "PASS: fleet"
