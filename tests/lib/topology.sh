# The one builder of the namespaces that put Marvoly behind a router
# (sourced through use.sh; needs root and Linux). ID is this run's $rig_id.
#
#   ID-client --- ID-router [--- ID-carrier] --- ID-echo
#
#   topology_net LAN GATEWAY ECHO...  the client on LAN.2/24 behind the
#       router's LAN.1, whose outside r1 is GATEWAY/24; there the echo host
#       has the addresses ECHO on eth0, the first www.tolvaric.com for the
#       client, or (ECHO the word fleet) fleet.sh's fleet stands. With
#       topology_carrier=yes a translating carrier-grade NAT holds GATEWAY,
#       the router 100.64.0.2/10. Sets client, router, carrier and echo_ns.
#   topology_translate [OPTION]  the router translates the LAN to its r1
#       address (MASQUERADE OPTION, as --random-fully)
#   topology_sealed  fails unless every interface of the run's namespaces is
#       loopback or a veth to another of them: no packet can leave
#   topology_up MODE  the dialog's scenarios: nat (private client, the
#       router translates), routed (the client's own outside address),
#       unreachable (as nat, the router's outside link down), fleet (as nat,
#       the echo service a fleet), firewall (as nat, SYNs to port 80
#       dropped). Sets expected_local, expected_internet (the Internet
#       field's text), expected_note, and expected_requests with echo_log
#       (the nginx access log, one line per request).
# Everything goes with rig_end.
# shellcheck shell=sh disable=SC2034,SC2154,SC2119,SC2120

rig_use netns haproxy fleet texts

# Addresses from the private and the documentation ranges only.
topology_outer=203.0.113

topology_forwarding() {
    netns_add "$1"
    in_netns "$1" sysctl -q -w net.ipv4.ip_forward=1
}

# The carrier between the router and the echo host: the router's r1 to its
# k0, its k1 the outside that the router's r1 would otherwise be.
topology_carrier_up() {
    topology_forwarding "$carrier"
    netns_link "$router" r1 "$carrier" k0
    netns_address "$router" r1 100.64.0.2/10
    netns_address "$carrier" k0 100.64.0.1/10
    in_netns "$router" ip route add default via 100.64.0.1
    in_netns "$carrier" iptables -t nat -A POSTROUTING -o k1 -j MASQUERADE
}

topology_net() {
    client=$rig_id-client router=$rig_id-router carrier=$rig_id-carrier echo_ns=$rig_id-echo
    topology_lan=$1 topology_gateway=$2 topology_out="$router r1"
    shift 2
    netns_add "$client"
    topology_forwarding "$router"
    netns_link "$client" c0 "$router" r0
    netns_address "$client" c0 "$topology_lan.2/24"
    netns_address "$router" r0 "$topology_lan.1/24"
    in_netns "$client" ip route add default via "$topology_lan.1"
    if [ "${topology_carrier-}" = yes ]; then
        topology_carrier_up
        topology_out="$carrier k1"
    fi
    # shellcheck disable=SC2086 # namespace and interface
    if [ "$1" = fleet ]; then
        fleet_up $topology_out
        set -- "$fleet_address"
    else
        netns_add "$echo_ns"
        netns_link $topology_out "$echo_ns" eth0
        for topology_address; do
            netns_address "$echo_ns" eth0 "$topology_address/24"
        done
        in_netns "$echo_ns" ip route add default via "$topology_gateway"
    fi
    # shellcheck disable=SC2086 # namespace and interface
    netns_address $topology_out "$topology_gateway/24"
    netns_host "$client" "$1" www.tolvaric.com
}

topology_translate() {
    in_netns "$router" iptables -t nat -A POSTROUTING -s "$topology_lan.0/24" -o r1 -j MASQUERADE "$@"
}

topology_sealed() {
    topology_ours=" $(sed -n 's/^netns //p' "$rig_dir/own" | tr '\n' ' ')"
    for ns in $topology_ours; do
        in_netns "$ns" ip -o link show | awk -v ours="$topology_ours" '
            $2 == "lo:" { next }
            { peer = ""
              for (i = 1; i < NF; i++) if ($i == "link-netns") peer = $(i + 1)
              if (peer == "" || index(ours, " " peer " ") == 0) { print "leaves: " $0; bad = 1 } }
            END { exit bad }' || fail "namespace $ns reaches beyond the rig"
    done
    echo "ok: the rig's namespaces reach only each other"
}

topology_up() {
    case "$1" in
    nat | unreachable | fleet | firewall) inner=10.84.0 ;;
    routed) inner=198.51.100 ;;
    *) fail "unknown mode $1" ;;
    esac
    if [ "$1" = fleet ]; then
        topology_net "$inner" "$topology_outer.1" fleet
        echo_log=$fleet_log
    else
        topology_net "$inner" "$topology_outer.1" "$topology_outer.80"
        rig_own nginx "$rig_dir/echo"
        in_netns "$echo_ns" sh "$rig_lib/echo_service.sh" start "$rig_dir/echo" 80 >&2
        echo_log=$rig_dir/echo/access.log
    fi
    topology_sealed
    [ "$1" = routed ] || topology_translate
    expected_local=$inner.2 expected_internet=$topology_outer.1 expected_note=$note_behind
    expected_requests=2
    case "$1" in
    routed) expected_internet=$inner.2 expected_note=$note_not_behind ;;
    unreachable) in_netns "$router" ip link set r1 down ;;
    firewall) in_netns "$router" iptables -A FORWARD -p tcp --syn --dport 80 -j DROP ;;
    esac
    case "$1" in unreachable | firewall)
        expected_internet=$text_no_internet expected_note=$note_no_internet expected_requests=0 ;;
    esac
    echo "client=$client local=$expected_local internet=$expected_internet"
}
