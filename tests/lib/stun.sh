# The shipped STUN server (service/stun) on coturn, on the echo host of
# topology.sh with the shipped configuration's addresses (sourced through
# use.sh; the caller has run netns_require turnserver nft and rig_begin):
#
#   client (10.84.0.2) --- router (10.84.0.1, 203.0.113.254) --- echo
#
#   stun_rig ROUTER [CONF]  topology_net's namespaces, the ROUTER routed (no
#       translation) or loss (translation, and one in ten datagrams from the
#       client dropped, those of 172 bytes by a rule of their own that
#       counts them), and on the echo host stun_start with the shipped
#       configuration or CONF, on its $stun_primary and $stun_secondary
#   stun_start NAMESPACE CONF  the shipped packet limit (on eth0) and coturn
#       ($stun_pid) with CONF in NAMESPACE, as Debian's service starts it,
#       its output in $rig_dir/coturn.log; returns once both ports listen
# shellcheck shell=sh disable=SC2034,SC2154

rig_use topology

stun_service=$rig_lib/../../service/stun

stun_cut() {
    echo 'table ip rig { chain cut { type filter hook forward priority filter;
        iifname r0 udp length 180 numgen random mod 100 < 10 counter drop;
        iifname r0 udp length != 180 numgen random mod 100 < 10 drop; }; }'
}

stun_listening() {
    [ "$(in_netns "$1" ss -Hlun 'sport = :3478 or sport = :3479' | wc -l)" -ge 2 ]
}

stun_start() {
    in_netns "$1" nft -f "$stun_service/marvoly-stun.nft" || fail "the shipped limit did not load"
    (cd "$rig_dir" && exec ip netns exec "$1" turnserver -c "$2" \
        --pidfile= >"$rig_dir/coturn.log" 2>&1) &
    stun_pid=$!
    rig_own_pid "$stun_pid"
    wait_until 100 stun_listening "$1" || fail "coturn did not start: $(cat "$rig_dir/coturn.log")"
}

stun_rig() {
    stun_conf=${2-$stun_service/marvoly-stun.conf}
    # shellcheck disable=SC2046 # the addresses
    set -- "$1" $(sed -n 's/^listening-ip=//p' "$stun_conf")
    stun_primary=$2 stun_secondary=${3-}
    stun_mode=$1
    shift
    topology_net 10.84.0 203.0.113.254 "$@"
    topology_sealed
    if [ "$stun_mode" = loss ]; then
        topology_translate
        stun_cut | in_netns "$router" nft -f - || fail "the router's rules did not load"
    fi
    stun_start "$echo_ns" "$stun_conf"
}
