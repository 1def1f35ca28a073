# The echo service as a fleet, in namespaces of this run (sourced through
# use.sh, not run):
#
#   ROUTER --IF-- ID-lb (HAProxy, 203.0.113.80) --+-- ID-echo1 (nginx, 192.0.2.21)
#                                                 +-- ID-echo2 (nginx, 192.0.2.22)
#
#   fleet_up ROUTER IF
#       links the balancer to IF of the namespace ROUTER, whose address on
#       that link must be 203.0.113.1/24 and its default route for the
#       balancer. HAProxy runs the shipped haproxy.cfg as it is and the
#       hosts the shipped proxied block and balancer list as they are: the
#       fleet uses the very addresses that those files name. Both hosts
#       count their requests in one file, fleet_log (tests/lib/nginx.sh
#       tells its lines); host N is 192.0.2.2N.
#   fleet_stop_host N
#       stops the nginx of host N.
#
# Everything goes with rig_end. Sets fleet_address, the balancer's address
# (www.tolvaric.com for the clients).
# shellcheck shell=sh disable=SC2034,SC2154

rig_use netns nginx haproxy

fleet_address=203.0.113.80
fleet_balancer=192.0.2.10

fleet_up() {
    fleet_log=$rig_dir/fleet.log
    fleet_lb=$rig_id-lb
    netns_add "$fleet_lb"
    netns_link "$1" "$2" "$fleet_lb" o0
    netns_address "$fleet_lb" o0 "$fleet_address/24"
    in_netns "$fleet_lb" ip route add default via 203.0.113.1
    for fleet_n in 1 2; do
        fleet_host=$rig_id-echo$fleet_n
        fleet_host_address=192.0.2.2$fleet_n
        netns_add "$fleet_host"
        netns_link "$fleet_lb" "b$fleet_n" "$fleet_host" e0
        # One point-to-point link per host, the balancer's end always
        # 192.0.2.10, as the hosts' list of balancers says.
        in_netns "$fleet_lb" ip addr add "$fleet_balancer" peer "$fleet_host_address/32" \
            dev "b$fleet_n"
        in_netns "$fleet_lb" ip link set "b$fleet_n" up
        in_netns "$fleet_host" ip addr add "$fleet_host_address" peer "$fleet_balancer/32" dev e0
        in_netns "$fleet_host" ip link set e0 up
        fleet_dir=$rig_dir/echo$fleet_n
        mkdir -p "$fleet_dir"
        cp "$rig_lib/../../service/echo/marvoly-echo-balancers.conf" "$fleet_dir/"
        rig_own nginx "$fleet_dir"
        MARVOLY_NGINX_LOG=$fleet_log in_netns "$fleet_host" \
            sh "$rig_lib/echo_service.sh" start "$fleet_dir" "$fleet_host_address:80" \
            "$rig_lib/../../service/echo/marvoly-echo-proxied.conf" >&2
    done
    haproxy_start "$rig_dir/lb" :80 192.0.2.21:80 192.0.2.22:80 -- in_netns "$fleet_lb"
}

fleet_stop_host() {
    sh "$rig_lib/echo_service.sh" stop "$rig_dir/echo$1"
}
