# The shipped STUN server (service/stun) on coturn, in a namespace with the
# shipped configuration's two addresses on eth0, and a client behind a
# router (sourced after rig.sh and netns.sh; the caller has run
# netns_require turnserver nft and rig_begin):
#
#   client (10.84.0.2) --- router (10.84.0.1, 203.0.113.254) --- server
#
#   stun_rig ROUTER [CONF]   the namespaces $stun_client, $stun_router and
#       $stun_server, the shipped packet limit on the server, and coturn
#       ($stun_pid) started there as Debian's service starts it, with the
#       shipped configuration or CONF, its output in $rig_dir/coturn.log,
#       on the configuration's $stun_primary and $stun_secondary. The
#       ROUTER: routed (no translation) or loss (masquerade, and one in ten
#       datagrams from the client dropped, those of 172 bytes by a rule of
#       their own that counts them)
# shellcheck shell=sh disable=SC2034,SC2154

stun_service=$rig_lib/../../service/stun

stun_router_rules() {
    echo 'table ip rig {'
    [ "$1" != loss ] || echo 'chain out { type nat hook postrouting priority srcnat; oifname r1 masquerade; }
        chain cut { type filter hook forward priority filter;
        iifname r0 udp length 180 numgen random mod 100 < 10 counter drop;
        iifname r0 udp length != 180 numgen random mod 100 < 10 drop; }'
    echo '}'
}

stun_listening() {
    [ "$(in_netns "$1" ss -Hlun 'sport = :3478 or sport = :3479' | wc -l)" -ge 2 ]
}

# stun_start NAMESPACE CONF: the shipped packet limit (on eth0) and coturn
# with CONF in NAMESPACE, as Debian's service starts it; returns once both
# ports listen.
stun_start() {
    in_netns "$1" nft -f "$stun_service/marvoly-stun.nft" || fail "the shipped limit did not load"
    (cd "$rig_dir" && exec ip netns exec "$1" turnserver -c "$2" \
        --pidfile= >"$rig_dir/coturn.log" 2>&1) &
    stun_pid=$!
    rig_own_pid "$stun_pid"
    wait_until 100 stun_listening "$1" || fail "coturn did not start: $(cat "$rig_dir/coturn.log")"
}

stun_rig() {
    stun_client=$rig_id-client stun_router=$rig_id-router stun_server=$rig_id-stun
    stun_conf=${2-$stun_service/marvoly-stun.conf}
    # shellcheck disable=SC2046 # the addresses
    set -- "$1" $(sed -n 's/^listening-ip=//p' "$stun_conf")
    stun_primary=$2 stun_secondary=${3-}
    for ns in "$stun_client" "$stun_router" "$stun_server"; do
        netns_add "$ns"
    done
    netns_link "$stun_client" c0 "$stun_router" r0
    netns_link "$stun_router" r1 "$stun_server" eth0
    netns_address "$stun_client" c0 10.84.0.2/24
    netns_address "$stun_router" r0 10.84.0.1/24
    netns_address "$stun_router" r1 203.0.113.254/24
    netns_address "$stun_server" eth0 "$stun_primary/24"
    [ -z "$stun_secondary" ] || netns_address "$stun_server" eth0 "$stun_secondary/24"
    in_netns "$stun_client" ip route add default via 10.84.0.1
    in_netns "$stun_server" ip route add default via 203.0.113.254
    in_netns "$stun_router" sysctl -q -w net.ipv4.ip_forward=1
    stun_router_rules "$1" | in_netns "$stun_router" nft -f - || fail "the router's rules did not load"
    stun_start "$stun_server" "$stun_conf"
}
