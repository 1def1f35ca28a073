# A small network of three namespaces of this run, for watching Marvoly
# behind a router (sourced through use.sh; needs root and Linux):
#
#   ID-client --- ID-router --- ID-echo (nginx, the echo page)
#
#   topology_up MODE   builds it, with ID this run's $rig_id, MODE one of
#       nat          the client has a private address and the router
#                    translates it (MASQUERADE) to its own outside address
#       routed       the client has an outside address of its own and the
#                    router forwards its packets unchanged
#       unreachable  as nat, but the router has lost its link to the echo
#                    host, so connections there are refused at once
#       fleet        as nat, but the echo service behind the router is a
#                    fleet, HAProxy in front of two nginx hosts
#                    (tests/lib/fleet.sh), and echo_log counts both hosts'
#       firewall     as nat, but the router silently drops every connection
#                    request (SYN) to port 80, as a corporate firewall does
#
# It sets client (the namespace to run the program in), expected_local
# (the client's address), and what the program must show and ask there:
# expected_internet (the text of the Internet field), expected_note, and
# expected_requests with echo_log (the nginx access log, one line per
# request). Inside the client namespace www.tolvaric.com resolves to the
# echo host; every namespace and the echo page go with rig_end.
# shellcheck shell=sh disable=SC2034

rig_use netns haproxy fleet texts

topology_echo_service="$rig_lib/echo_service.sh"

# Addresses from the private and the documentation ranges only.
topology_outer=203.0.113
topology_echo_host=$topology_outer.80

topology_up() {
    case "$1" in
    nat | unreachable | fleet | firewall) inner=10.84.0 ;;
    routed) inner=198.51.100 ;;
    *) fail "unknown mode $1" ;;
    esac
    client=$rig_id-client
    router=$rig_id-router
    echo_ns=$rig_id-echo
    for ns in "$client" "$router"; do
        netns_add "$ns"
    done
    netns_link "$client" c0 "$router" r0
    if [ "$1" = fleet ]; then
        # The balancer takes the echo host's address.
        fleet_up "$router" r1
        echo_log=$fleet_log
    else
        netns_add "$echo_ns"
        netns_link "$router" r1 "$echo_ns" e0
        netns_address "$echo_ns" e0 "$topology_echo_host/24"
        in_netns "$echo_ns" ip route add default via "$topology_outer.1"
        rig_own nginx "$rig_dir/echo"
        in_netns "$echo_ns" sh "$topology_echo_service" start "$rig_dir/echo" 80 >&2
        echo_log=$rig_dir/echo/access.log
    fi
    netns_address "$client" c0 "$inner.2/24"
    in_netns "$client" ip route add default via "$inner.1"
    netns_address "$router" r0 "$inner.1/24"
    netns_address "$router" r1 "$topology_outer.1/24"
    in_netns "$router" sysctl -q -w net.ipv4.ip_forward=1
    netns_host "$client" "$topology_echo_host" www.tolvaric.com
    expected_local=$inner.2
    expected_requests=2
    case "$1" in
    nat | fleet)
        in_netns "$router" iptables -t nat -A POSTROUTING -s "$inner.0/24" -o r1 -j MASQUERADE
        expected_internet=$topology_outer.1
        expected_note=$note_behind
        ;;
    routed)
        expected_internet=$inner.2
        expected_note=$note_not_behind
        ;;
    unreachable | firewall)
        if [ "$1" = unreachable ]; then
            in_netns "$router" ip link set r1 down
        else
            in_netns "$router" iptables -A FORWARD -p tcp --syn --dport 80 -j DROP
        fi
        expected_internet=$text_no_internet
        expected_note=$note_no_internet
        expected_requests=0
        ;;
    esac
    echo "client=$client local=$expected_local internet=$expected_internet"
}
