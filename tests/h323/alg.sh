#!/bin/sh
# The H.323 probes against the shipped Setup echo, through a router with
# the kernel's own H.323 helper or without:
#
#   client (10.85.0.2, routed 11.85.1.2) --- router --- echo (nginx, 11.85.0.80)
#
#   alg.sh SCENARIO H323_DRIVER BASE     one line of the table below
#
# The addresses outside are public ones, as the echo host calls back public
# callers only; they exist only between the namespaces of the run, where
# every rule, conntrack helper and expectation lives and ends with it.
# Needs Linux and root (else 77, a skip for CTest).
set -eu

rig_lib=$(cd "$(dirname "$0")/../lib" && pwd)
. "$rig_lib/use.sh"
rig_use netns nginx h323-echo

# The router's words: helper, the Q.931 helper on connections to port 1720;
# fw, a firewall that lets in only what belongs to connections from inside;
# drop, TCP 1720 and UDP 1719 dropped on the way out; mangle, the 7th byte
# to TCP 1720 (the Setup's call reference) changed. The Setup probe's bound
# in ms, then the facts.
# scenario   network router   bound tcp_1720_out rewrites pinhole altered udp_1719 seen_from
scenarios() {
    cat <<'TABLE'
nat-alg      nat    helper    1000  true  true  true  []   true  11.85.0.1
nat          nat    -         1000  true  false false []   true  11.85.0.1
firewall-alg routed helper,fw 1000  true  false true  []   true  11.85.1.2
dropped      nat    drop      5500  false null  null  null false -
routed       routed -         1000  true  false true  []   true  11.85.1.2
mangled      routed mangle    1000  true  false true  [6]  true  11.85.1.2
TABLE
}

row=$(scenarios | awk -v name="${1-}" '$1 == name')
[ -n "$row" ] && [ $# -eq 3 ] || fail "usage: $0 SCENARIO H323_DRIVER BASE"
driver=$2 base=$3
# shellcheck disable=SC2086 # the row's words
set -- $row
scenario=$1 network=$2 words=,$3, bound=$4
shift 4
expected="$*"

netns_require nft
h323_echo_require
host_rules=$(nft list ruleset | md5sum)
rig_begin "$base"
client=$rig_id-client router=$rig_id-router echo=$rig_id-echo
lan=10.85.0
[ "$network" = nat ] || lan=11.85.1

router_rules() {
    echo 'table ip marvoly {'
    [ "$network" != nat ] || echo 'chain post { type nat hook postrouting priority srcnat; oifname "r1" masquerade; }'
    case "$words" in *,helper,*)
        echo 'ct helper q931 { type "Q.931" protocol tcp; }'
        echo 'chain pre { type filter hook prerouting priority filter; tcp dport 1720 ct helper set "q931"; }' ;;
    esac
    echo 'chain gate { type filter hook forward priority filter;'
    case "$words" in
    *,fw,*) echo 'policy drop; ct state established,related accept; iifname "r0" accept;' ;;
    *,drop,*) echo 'tcp dport 1720 drop; udp dport 1719 drop;' ;;
    *,mangle,*) echo 'tcp dport 1720 @ih,48,8 set 0x4e;' ;;
    esac
    echo '}'
    echo '}'
}

for ns in "$client" "$router" "$echo"; do
    netns_add "$ns"
done
netns_link "$client" c0 "$router" r0
netns_link "$router" r1 "$echo" e0
netns_address "$client" c0 "$lan.2/24"
netns_address "$router" r0 "$lan.1/24"
netns_address "$router" r1 11.85.0.1/24
netns_address "$echo" e0 11.85.0.80/24
in_netns "$client" ip route add default via "$lan.1"
in_netns "$echo" ip route add default via 11.85.0.1
in_netns "$router" sysctl -q -w net.ipv4.ip_forward=1
router_rules | in_netns "$router" nft -f - || fail "the router's rules did not load"
netns_host "$client" 11.85.0.80 h323-echo.test
rig_own nginx "$rig_dir/echo"
in_netns "$echo" sh -c "rig_lib='$rig_lib' && . '$rig_lib/rig.sh' && . '$rig_lib/nginx.sh' &&
    . '$rig_lib/h323-echo.sh' && h323_echo_start '$rig_dir/echo'" || fail "the echo host did not start"

in_netns "$client" "$driver" probe h323-echo.test >"$rig_dir/facts"
# shellcheck disable=SC2046 # the driver's words
set -- $(cat "$rig_dir/facts")
expect "facts" "$1 $2 $3 $4 $5 $6" "$expected"
expect "descriptors the probes left open" "$9" 0
[ "$7" -lt "$bound" ] || fail "the Setup probe took $7 ms"
[ "$8" -lt 2500 ] || fail "the gatekeeper probe took $8 ms"
echo "ok: the probes took $7 and $8 ms"

# Ended here, not by the trap, to see that nothing stays: the namespaces
# with their rules, helpers and expectations, and the host's rules as they
# were.
rig_reap "$rig_dir"
rig_dir=
! ip netns list | grep -q "^$rig_id-" || fail "namespaces of the run are left"
expect "the host's rules" "$(nft list ruleset | md5sum)" "$host_rules"
echo "PASS: $scenario"
