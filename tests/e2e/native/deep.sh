#!/bin/sh
# marvoly --report --deep and --json --deep, as shipped (asking
# www.tolvaric.com), in a client namespace behind a real router, natively
# or as marvoly-cli.exe under Wine, in the namespaces of tests/lib/topology.sh:
#
#   client (10.84.0.2) --- router [miniupnpd] --- echo (nginx, coturn,
#                                                       11.84.0.80 and .81)
#
#   deep.sh SCENARIO [page|watch]  one line of the table below; page
#                        renders --html's page in Chromium instead of the
#                        reports, watch follows --watch while the router's
#                        loss changes
#
# The router's outside address and the echo host's are public ones, as
# miniupnpd refuses every reserved address on its outside; they are used
# only between the namespaces this rig makes, and before anything starts
# the rig checks that they are sealed, so no packet can leave. Needs Linux and root
# (else 77, a skip for CTest). The environment names MARVOLY_E2E_PROGRAM and
# MARVOLY_E2E_WORK, a folder for the runs' state, and for the benchmark
# MARVOLY_DEEP_STEPS, a program run in the client at the end. With
# MARVOLY_E2E_WINE_RUN (the build's Wine wrapper, whose prefix the run
# copies) the program is marvoly-cli.exe, run under a wineserver inside the
# client namespace: the same facts are expected of it, but for the port
# mapping, which it does not check.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../../lib
. "$rig_lib/use.sh"
rig_use netns nginx h323-echo stun schema wine topology texts browser
windows=${MARVOLY_E2E_WINE_RUN:+yes}

# The H.323 signalling columns: whether TCP 1720 gets out (and UDP 1719
# with it), and what the path does to the Setup: none (passes unchanged, no
# call-back let in), open (unchanged, both the H.245 call-back and the
# control call let in: the path lets connections in), pinholes (unchanged,
# the H.245 call-back let in and the control call not), rewrites (addresses
# rewritten, the H.245 call-back let in), mangled (another byte changed, on
# an open path), null (not known, as 1720 does not get out). The readiness
# answer "alg" follows from it.
# The UDP column: what the media path finds, as udp_json says; - where
# the row is about something else.
# The call column: what the media a call announces meets, as call_json
# says: the media addresses, the far end's media let in, the port pairs.
# scenario   network  router    echo   mapping     double NAT  incoming calls  note out alg      udp     call
scenarios() {
    cat <<'TABLE'
nat          nat      -         js     none        unknown     unreachable     101  yes none     nat     unchanged/false/kept
upnp         nat      upnp      js     upnp        no          unreachable     101  yes none     nat     -
nat-pmp      nat      nat-pmp   js     nat-pmp     no          unreachable     101  yes none     nat     -
forwarded    nat      forward   js     none        unknown     reachable       101  yes none     nat     -
reflected    nat      reflect   js     none        unknown     unreachable     101  yes none     nat     -
routed       routed   -         js     none        unknown     reachable       100  yes open     routed  unchanged/true/kept
firewall     routed   drop      js     none        unknown     unreachable     100  yes none     fw      unchanged/false/kept
double       double   upnp      js     no-address  yes         unreachable     101  yes none     nat     -
in-use       nat      hold-1720 js     none        unknown     in-use          101  yes none     nat     -
no-js        nat      -         plain  none        unknown     no-call-back    101  yes none     nat     -
limited      nat      limit     js     none        unknown     limited         101  yes none     nat     -
rogue-slow   nat      slow      js     none        unknown     unreachable     101  yes none     -       -
rogue-huge   nat      huge      js     none        unknown     unreachable     101  yes none     -       -
rogue-host   nat      elsewhere js     none        unknown     unreachable     101  yes none     -       -
silent-peer  routed   silent    js     none        unknown     reachable       100  yes open     -       -
alg          nat      helper    js     none        unknown     unreachable     101  yes rewrites nat     rewritten/true/kept
firewall-alg routed   helper-fw js     none        unknown     unreachable     100  yes pinholes -       unchanged/true/kept
1720-dropped nat      drop-out  js     none        unknown     unreachable     101  no  null     nat     null/null/null
mangled      routed   mangle    js     none        unknown     reachable       100  yes mangled  -       -
random       random   -         js     none        unknown     unreachable     101  yes none     random  unchanged/false/changed
udp-dropped  nat      drop-udp  js     none        unknown     unreachable     101  yes none     dropped unchanged/null/null
trickles     nat      trickle   js     none        unknown     no-call-back    101  yes none     -       -
timers-25    nat      ct-25     js     none        unknown     unreachable     101  yes none     nat     -
timers-90    nat      ct-90     js     none        unknown     unreachable     101  yes none     nat     -
timers-kernel nat     ct-kernel js     none        unknown     unreachable     101  yes none     nat     -
timers-forgets nat    ct-forgets js    none        unknown     unreachable     101  yes none     nat     -
TABLE
}

# The --timers rows: the router's conntrack timeouts (UDP, TCP established;
# - for the kernel's), the silences tried (MARVOLY_TIMERS_LADDER) and the
# bounds that must bracket the timeouts (AT_LEAST:LESS_THAN), with whether
# a mapping kept by keep-alives alone lived. ct-forgets drops the
# keep-alives before conntrack sees them, as a router does that counts only
# answered traffic.
# router     udp tcp ladder       udp_lifetime_s refresh tcp_idle_s
timer_rows() {
    cat <<'TABLE'
ct-25        25  60  10,20,40,70  20:40          true    40:70
ct-90        90  -   60,100       60:100         true    100:null
ct-kernel    -   -   20,40        20:40          true    40:null
ct-forgets   -   -   20,40        20:40          false   40:null
TABLE
}

scenario=${1-} mode=${2-report}
row=$(scenarios | awk -v name="$scenario" '$1 == name')
[ -n "$row" ] || {
    echo "usage: $0 $(scenarios | awk '{ printf "%s%s", sep, $1; sep = "|" }')" >&2
    exit 2
}
# shellcheck disable=SC2086 # the row's words
set -- $row
network=$2 router_extra=$3 echo_kind=$4
want_mapping=$5 want_double=$6 want_incoming=$7 want_note=$8 want_out=$9 want_alg=${10}
want_udp=${11} want_call=${12}

netns_require iptables nft nginx python3 curl /usr/sbin/miniupnpd /usr/bin/time turnserver \
    turnutils_natdiscovery conntrack
h323_echo_require
rig_begin "$MARVOLY_E2E_WORK/deep"
lan=10.84.0
[ "$network" != routed ] || lan=11.84.1
gateway=$lan.1 local_address=$lan.2 outside=11.84.0 echo_host=11.84.0.80 stun_other=11.84.0.81

# The router's outside: the echo host's link, or in the double case a
# carrier-grade NAT between the two.
build_network() {
    # shellcheck disable=SC2034 # topology_net's
    [ "$network" != double ] || topology_carrier=yes
    topology_net "$lan" "$outside.1" "$echo_host" "$stun_other"
    case "$network" in
    random) topology_translate --random-fully ;;
    nat | double) topology_translate ;;
    esac
}

# miniupnpd answers on the LAN side only, for the LAN only; it needs no
# chains of its own here, as nothing is ever mapped.
start_miniupnpd() {
    upnp=yes
    [ "$1" != nat-pmp ] || upnp=no
    cat >"$rig_dir/miniupnpd.conf" <<CONF
ext_ifname=r1
listening_ip=r0
http_port=0
enable_upnp=$upnp
enable_natpmp=yes
secure_mode=yes
uuid=6d61726f-6c79-4000-8000-000000000001
allow 1024-65535 $lan.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
    ip netns exec "$router" /usr/sbin/miniupnpd -f "$rig_dir/miniupnpd.conf" -d \
        -P "$rig_dir/miniupnpd.pid" >"$rig_dir/miniupnpd.log" 2>&1 &
    rig_own_pid $!
    wait_until 50 grep -q 'Listening for NAT-PMP' "$rig_dir/miniupnpd.log" ||
        fail "miniupnpd did not start: $(cat "$rig_dir/miniupnpd.log")"
}

timer_row() {
    timer_rows | awk -v extra="$router_extra" '$1 == extra'
}

# The router's timeouts as nftables objects, set on each new connection;
# what conntrack forgot is dropped, not picked up again mid-stream.
timer_rules() {
    # shellcheck disable=SC2046 # the row's words
    set -- $(timer_row)
    echo 'table ip marvoly_timers {'
    [ "$2" = - ] || echo "ct timeout udp-silence { protocol udp; l3proto ip; policy = { unreplied: $2, replied: $2 }; }"
    [ "$3" = - ] || echo "ct timeout tcp-idle { protocol tcp; l3proto ip; policy = { established: $3 }; }"
    echo 'chain pre { type filter hook prerouting priority filter;'
    [ "$2" = - ] || echo 'iifname "r0" meta l4proto udp ct timeout set "udp-silence";'
    [ "$3" = - ] || echo 'iifname "r0" tcp dport 1720 ct timeout set "tcp-idle";'
    echo '}'
    # The keep-alives, the run's only UDP datagrams of 36 bytes, unseen by
    # conntrack.
    [ "$1" != ct-forgets ] ||
        echo 'chain raw { type filter hook prerouting priority raw; iifname "r0" udp length 44 drop; }'
    echo 'chain gate { type filter hook forward priority filter; ct state invalid drop; }'
    echo '}'
}

# The bounds as the JSON has them.
timer_json() {
    echo "$1" | awk -F: '{ printf "{\"at_least\": %s, \"less_than\": %s}\n", $1, $2 }'
}

# coturn's own lifetime test (turnutils_natdiscovery -t) from the client,
# beside marvoly's run, for each bound of AT_LEAST:LESS_THAN.
lifetime_start() {
    lifetime_pids=
    for t in $(echo "$1" | tr : ' '); do
        case "$t" in 0 | null) continue ;; esac
        timeout $((t + 20)) ip netns exec "$client" turnutils_natdiscovery -t -T "$t" "$echo_host" \
            >"$rig_dir/lifetime-$t" 2>&1 &
        rig_own_pid $!
        lifetime_pids="$lifetime_pids $!"
    done
}

# Its second answer came after at_least and not after less_than.
lifetime_agrees() {
    # shellcheck disable=SC2086 # the pids
    wait $lifetime_pids || true
    lived=yes
    for t in $(echo "$1" | tr : ' '); do
        case "$t" in 0 | null) continue ;; esac
        found=no
        ! grep -q 'RFC 5780 response 2' "$rig_dir/lifetime-$t" || found=yes
        expect "natdiscovery's mapping after $t s" "$found" "$lived"
        lived=no
    done
}

# SIGTERM in the middle of --timers: the report at once, the rungs asked by
# then known and the open bounds null.
ended_early() {
    signal=TERM && set -- "$MARVOLY_E2E_PROGRAM"
    [ -z "$windows" ] || { signal=INT && set -- "$wine" "$(windows_path "$1")"; } # Wine's Ctrl-C
    MARVOLY_TIMERS_LADDER=20,40 timeout 60 ip netns exec "$client" "$@" \
        --json --timers </dev/null >"$rig_dir/ended.crlf" 2>"$rig_dir/ended.err" &
    ended=$!
    rig_own_pid "$ended"
    sleep 30
    started=$(date +%s%N)
    # timeout hands the signal on to marvoly.
    kill -"$signal" "$ended"
    wait "$ended" || true
    took=$((($(date +%s%N) - started) / 1000000))
    tr -d '\r' <"$rig_dir/ended.crlf" >"$rig_dir/ended.json"
    echo "--- ended by SIG$signal ($took ms after it)"
    cat "$rig_dir/ended.json" "$rig_dir/ended.err"
    [ "$took" -lt 2000 ] || fail "the run ended $took ms after SIG$signal"
    for key in udp_lifetime_s tcp_idle_s; do
        expect "$key when ended early" "$(json_key "$rig_dir/ended.json" $key)" "$(timer_json 20:null)"
    done
    check_report_schema "$rig_dir/ended.json"
}

# listening NAMESPACE t|u PORT
listening() {
    in_netns "$1" ss -Hl"$2"n "sport = :$3" | grep -q .
}

# start_on_1720 NAMESPACE CODE: Python's CODE, with s listening on 1720.
start_on_1720() {
    ip netns exec "$1" python3 -c "import socket, time
s = socket.socket()
s.bind(('0.0.0.0', 1720))
s.listen(1)
$2" &
    rig_own_pid $!
    wait_until 50 listening "$1" t 1720 || fail "nothing came to listen on $1's port 1720"
}

router_extra() {
    case "$router_extra" in
    upnp | nat-pmp) start_miniupnpd "$router_extra" ;;
    forward)
        in_netns "$router" iptables -t nat -A PREROUTING -i r1 -p tcp --dport 1720 \
            -j DNAT --to-destination "$local_address"
        ;;
    # A firewall that drops what comes unasked, and the router's own UDP
    # questions too (so the NAT-PMP question waits its whole bound): the
    # slowest case of all.
    drop)
        in_netns "$router" iptables -A FORWARD -i r1 -m conntrack --ctstate NEW -j DROP
        in_netns "$router" iptables -A INPUT -p udp -j DROP
        ;;
    hold-1720) start_on_1720 "$client" 'time.sleep(120)' ;;
    # Every datagram from the LAN dropped: calls without picture or sound.
    drop-udp) in_netns "$router" iptables -A FORWARD -i r0 -p udp -j DROP ;;
    # Someone behind the same address has used up the call-back page's
    # burst, as running --deep many times in a row does.
    limit) ;;
    # The router's own port 1720 answers with what it was asked, as a web
    # page that names the missing path does: that is not the client.
    reflect) start_on_1720 "$router" 'while True:
    c = s.accept()[0]
    c.sendall(b"HTTP/1.0 404 Not Found\r\n\r\n" + c.recv(512))
    c.close()' ;;
    # A device on the LAN that answers discovery and then misbehaves: on the
    # router's own address, or on another host with a gateway's description.
    slow | huge) start_rogue "$router_extra" "$gateway" ;;
    # The three slow answers at once: a description that trickles, a
    # NAT-PMP question dropped, and a call-back page that trickles (the
    # router sends the LAN's web requests to its own page).
    trickle)
        start_rogue trickle "$gateway"
        in_netns "$router" iptables -A INPUT -p udp --dport 5351 -j DROP
        in_netns "$router" iptables -t nat -A PREROUTING -i r0 -p tcp --dport 80 \
            -j DNAT --to-destination "$gateway:8080"
        ;;
    elsewhere) in_netns "$router" ip addr add "$lan.3/24" dev r0 && start_rogue elsewhere "$lan.3" ;;
    # A stranger that connects to the client's 1720 whenever it can and says
    # nothing. The echo host's first SYN of each run is dropped and its retry
    # a second later passes, so that the stranger is always there first.
    silent)
        for hold in '--rcheck --seconds 2 -j ACCEPT' '--set -j DROP'; do
            # shellcheck disable=SC2086 # the words of the rule
            in_netns "$router" iptables -A FORWARD -i r1 -p tcp --syn --dport 1720 \
                -m recent --name held $hold
        done
        ip netns exec "$router" python3 -c "import socket, time
while True:
    try: socket.create_connection(('$local_address', 1720)).recv(1)
    except OSError: time.sleep(0.02)" &
        rig_own_pid $!
        ;;
    # The kernel's own H.323 helper on the signalling that leaves (with
    # helper-fw also a firewall that lets in only what belongs to
    # connections from inside, or what the helper expects); TCP 1720 and
    # UDP 1719 dropped on the way out; another byte of the Setup (its call
    # reference) changed on the way.
    helper | helper-fw | drop-out | mangle)
        signalling_rules | in_netns "$router" nft -f - || fail "the router's rules did not load"
        ;;
    ct-*)
        in_netns "$router" sysctl -q -w net.netfilter.nf_conntrack_tcp_loose=0
        timer_rules | in_netns "$router" nft -f - || fail "the router's timeouts did not load"
        ;;
    esac
}

signalling_rules() {
    echo 'table ip marvoly {'
    case "$router_extra" in helper*)
        echo 'ct helper q931 { type "Q.931" protocol tcp; }'
        echo 'chain pre { type filter hook prerouting priority filter; tcp dport 1720 ct helper set "q931"; }' ;;
    esac
    echo 'chain gate { type filter hook forward priority filter;'
    case "$router_extra" in
    helper-fw) echo 'policy drop; ct state established,related accept; iifname "r0" accept;' ;;
    drop-out) echo 'oifname "r1" tcp dport 1720 drop; oifname "r1" udp dport 1719 drop;' ;;
    mangle) echo 'oifname "r1" tcp dport 1720 @ih,48,8 set 0x4e;' ;;
    esac
    echo '}'
    echo '}'
}

start_rogue() {
    ip netns exec "$router" python3 "$here/rogue_upnp.py" "$@" >"$rig_dir/rogue.log" 2>&1 &
    rig_own_pid $!
    wait_until 50 listening "$router" u 1900 ||
        fail "the rogue device did not start: $(cat "$rig_dir/rogue.log")"
}

# The echo host serves the shipped block with its call-back page, or the
# page alone, as an nginx without the JavaScript module can.
start_echo() {
    mkdir -p "$rig_dir/echo"
    block=$here/../../../service/echo/marvoly-echo.conf
    if [ "$echo_kind" = plain ]; then
        sed '/call-back page: from here/,/call-back page: to here/d' "$block" >"$rig_dir/page-only.conf"
        block=$rig_dir/page-only.conf
    fi
    rig_own nginx "$rig_dir/echo"
    in_netns "$echo_ns" sh -c ". '$rig_lib/nginx.sh' && nginx_start '$rig_dir/echo' '$block' 80 shipped" ||
        fail "the echo host's nginx did not start"
    awk -v first="$echo_host" -v second="$stun_other" '
        /^listening-ip=/ { print "listening-ip=" (seen++ ? second : first); next } { print }' \
        "$stun_service/marvoly-stun.conf" >"$rig_dir/stun.conf"
    stun_start "$echo_ns" "$rig_dir/stun.conf"
    rig_own nginx "$rig_dir/h323"
    in_netns "$echo_ns" sh -c "rig_lib='$rig_lib' && . '$rig_lib/use.sh' && rig_use nginx h323-echo &&
        h323_echo_start '$rig_dir/h323'" || fail "the echo host's Setup echo did not start"
}

# What the signalling probes found, as the JSON has it.
signalling_json() {
    case "$2" in
    none) alg='false, "opens_h245_pinhole": false, "altered_bytes": [], "inbound_open": false' ;;
    open) alg='false, "opens_h245_pinhole": false, "altered_bytes": [], "inbound_open": true' ;;
    pinholes) alg='false, "opens_h245_pinhole": true, "altered_bytes": [], "inbound_open": false' ;;
    rewrites) alg='true, "opens_h245_pinhole": true, "altered_bytes": [], "inbound_open": false' ;;
    mangled) alg='false, "opens_h245_pinhole": false, "altered_bytes": [6], "inbound_open": true' ;;
    null) alg='null, "opens_h245_pinhole": null, "altered_bytes": null, "inbound_open": null' ;;
    esac
    answer=$2
    case "$2" in open | mangled) answer=none ;; null) answer=unknown ;; esac
    fact=true gatekeeper=true
    [ "$1" = yes ] || fact=false gatekeeper=false
    [ "$3" != dropped ] || gatekeeper=false
    echo "$fact {\"rewrites_addresses\": $alg} $gatekeeper \"$answer\""
}

# What the media path found, as the JSON has it: passes, the mapped
# address, mapping, filtering, hairpin.
udp_json() {
    ei=endpoint-independent apd=address-and-port-dependent
    case "$1" in
    nat) set -- true "\"$outside.1\"" "\"$ei\"" "\"$apd\"" false ;;
    random) set -- true "\"$outside.1\"" "\"$apd\"" "\"$apd\"" false ;;
    routed) set -- true "\"$local_address\"" "\"$ei\"" "\"$ei\"" true ;;
    fw) set -- true "\"$local_address\"" "\"$ei\"" "\"$apd\"" true ;;
    dropped) set -- false null null null null ;;
    esac
    echo "{\"passes\": $1, \"mapped_address\": $2, \"mapping\": $3, \"filtering\": $4, \"hairpin\": $5}"
}

# What the media a call announces met, as the JSON has it: the media
# addresses, the far end's audio and video let in, the port pairs.
call_json() {
    echo "$1" | awk -F/ '{ q = "\""; if ($1 != "null") $1 = q $1 q; if ($3 != "null") $3 = q $3 q
        print $1, $2, $2, $3 }'
}

call_key() {
    python3 -c 'import json, sys
c = json.load(sys.stdin)["call_media"]
print(" ".join(json.dumps(v) for v in eval(sys.argv[1])))' "$2" <"$1"
}

# The router's new UDP connections while the JSON run goes on.
watch_conntrack() {
    ip netns exec "$router" stdbuf -oL conntrack -E -e NEW -p udp >"$rig_dir/conntrack" 2>/dev/null &
    conntrack_pid=$!
    conntrack_started=$(rig_start_time "$conntrack_pid")
    rig_own_pid "$conntrack_pid"
}

# The router's own word on the far end's media: for each RTP port as it
# arrived, whether the router passed the echo host's STUN answer on to the
# port this machine announced; behind the helper, also its expectation
# for the RTCP port after it.
conntrack_agrees() {
    rig_stop_pid "$conntrack_pid" "$conntrack_started"
    in_netns "$router" conntrack -L expect >"$rig_dir/expect" 2>/dev/null || true
    # shellcheck disable=SC2046 # the ports' words
    set -- $(call_key "$rig_dir/json" '(c["arrived_ports"][0], c["announced_ports"][0],
        c["far_end_media_in"]["audio"], c["arrived_ports"][2], c["announced_ports"][2],
        c["far_end_media_in"]["video"])')
    while [ $# -ge 3 ]; do
        let_in=false
        ! grep -q "src=$echo_host dst=[0-9.]* sport=3478 dport=$1 \(\[UNREPLIED\] \)\?src=$local_address dst=$echo_host sport=$2 dport=3478" \
            "$rig_dir/conntrack" || let_in=true
        [ "$3" = null ] || expect "the router let the far end's media in at port $1" "$let_in" "$3"
        case "$router_extra" in helper*)
            grep -q "proto=17 src=$echo_host dst=[0-9.]* sport=0 dport=$(($1 + 1)) " "$rig_dir/expect" ||
                fail "the helper expects nothing at port $(($1 + 1)): $(cat "$rig_dir/expect")" ;;
        esac
        shift 3
    done
}

# coturn's own client finds the same mapping and filtering from here.
natdiscovery_agrees() {
    in_netns "$client" turnutils_natdiscovery -m -f "$echo_host" >"$rig_dir/discovery" 2>&1 || true
    for test in mapping filtering; do
        found=$(sed -n "s/^NAT with \(.*\) $test!\$/\1/ip" "$rig_dir/discovery" | tr 'A-Z ' 'a-z-')
        ours=$(python3 -c 'import json, sys; print(json.load(sys.stdin)["udp"][sys.argv[1]])' \
            "$test" <"$rig_dir/json")
        expect "natdiscovery's $test" "${found:-unknown}" "$ours"
    done
}

# The three facts as the report words them and as the JSON has them.
mapping_text() {
    case "$windows$1" in
    yes*) rig_text kDeepMappingUnasked ;;
    none) rig_text kDeepNoMapping ;;
    upnp) rig_text kDeepMapping UPnP "$gateway" "$outside.1" ;;
    nat-pmp) rig_text kDeepMapping NAT-PMP "$gateway" "$outside.1" ;;
    no-address) rig_text kDeepMappingNoAddress UPnP "$gateway" ;;
    esac
}

mapping_json() {
    case "$1" in
    none) echo null ;;
    upnp | nat-pmp)
        echo "{\"protocol\": \"$1\", \"gateway\": \"$gateway\", \"external_address\": \"$outside.1\"}"
        ;;
    no-address) echo "{\"protocol\": \"upnp\", \"gateway\": \"$gateway\", \"external_address\": null}" ;;
    esac
}

double_text() {
    case "$1" in
    yes) rig_text kDeepDoubleNoAddress ;;
    *) echo "$1" ;;
    esac
}

double_json() {
    case "$1" in
    yes) echo true ;;
    no) echo false ;;
    unknown) echo null ;;
    esac
}

incoming_reason() {
    case "$1" in
    in-use) rig_text kDeepPortInUse ;;
    no-call-back) rig_text kDeepNoCallBack ;;
    limited) rig_text kDeepRefused ;;
    esac
}

incoming_text() {
    case "$1" in
    reachable) rig_text kDeepReachable ;;
    unreachable) rig_text kDeepUnreachable ;;
    *) rig_text kDeepNotTested "$(incoming_reason "$1")" ;;
    esac
}

incoming_json() {
    case "$1" in
    reachable | unreachable) echo "\"$1\" null" ;;
    *) echo "null \"$(incoming_reason "$1")\"" ;;
    esac
}

json_key() {
    python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin)[sys.argv[1]]))' "$2" <"$1"
}

text_field() {
    sed -n "s/^$2: *//p" "$1"
}

# run MODE [OPTION]: marvoly MODE --deep [OPTION] in the client, its output in $rig_dir/MODE
# (Windows' CR LF made LF), its exit status checked and its time and memory
# within the bounds (Wine's own start and memory are not the program's).
run() {
    waits=0
    [ "${2-}" != --timers ] || waits=$(($(echo "$MARVOLY_TIMERS_LADDER" | tr , '\n' | tail -n 1) + 10))
    started=$(date +%s%N)
    status=0
    if [ -n "$windows" ]; then
        timeout $((60 + waits)) ip netns exec "$client" "$wine" "$(windows_path "$MARVOLY_E2E_PROGRAM")" \
            "--$1" --deep ${2-} </dev/null >"$rig_dir/$1.crlf" 2>"$rig_dir/$1.err" || status=$?
        tr -d '\r' <"$rig_dir/$1.crlf" >"$rig_dir/$1"
        echo - >"$rig_dir/$1.kib"
        bound=$((20000 + waits * 1000))
    else
        /usr/bin/time -f %M -o "$rig_dir/$1.kib" \
            timeout $((30 + waits)) ip netns exec "$client" "$MARVOLY_E2E_PROGRAM" "--$1" --deep \
            ${2-} >"$rig_dir/$1" 2>"$rig_dir/$1.err" || status=$?
        bound=$((10000 + waits * 1000))
        # The worst case of all, within the whole check's bound.
        [ "$scenario" != trickles ] || bound=12000
    fi
    took=$((($(date +%s%N) - started) / 1000000))
    peak=$(tail -n 1 "$rig_dir/$1.kib")
    echo "--- marvoly --$1 --deep ${2-}($took ms, at most $peak KiB of memory natively)"
    cat "$rig_dir/$1" "$rig_dir/$1.err"
    expect "exit status of --$1 --deep" "$status" 0
    [ "$took" -lt "$bound" ] || fail "--$1 --deep took $took ms, more than $bound ms"
    [ "$peak" = - ] || [ "$peak" -lt 16384 ] || fail "--$1 --deep took $peak KiB of memory, more than 16 MiB"
}

build_network
topology_sealed
router_extra
start_echo
if [ -n "$windows" ]; then
    wine_private "$MARVOLY_E2E_WINE_RUN"
    wine_start ip netns exec "$client"
fi
if [ "$router_extra" = limit ]; then
    for i in 1 2 3 4 5 6 7; do
        in_netns "$client" curl -s -o /dev/null -m 5 \
            "http://www.tolvaric.com/firewall/reach.tpl?token=00000000000000$i$i" || true
    done
fi

# The page's ways, each with its colour, as the picture draws them.
page_ways() {
    case "$want_udp" in
    dropped) echo "calls-out=green calls-in=amber media=red gatekeeper=red" ;;
    *) echo "calls-out=green calls-in=amber media=amber gatekeeper=green" ;;
    esac
}

# --html in the client, rendered; the answers' words in its text and the
# ways' colours in the picture's attributes, against the JSON's answers.
check_page() {
    run json "--html $rig_dir/page.html"
    browser_render "$echo_ns" "$rig_dir/page.html" "$rig_dir/page.png"
    python3 - "$rig_dir/page.html.dom" "$rig_dir/json" "$(page_ways)" <<'CHECK' || fail "the page is not as expected"
import html.parser, json, sys
class Page(html.parser.HTMLParser):
    text, ways, way = [], {}, None
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "g" and a.get("class") == "way":
            self.way = a["id"][4:]
            self.ways[self.way] = [a["data-colour"]]
        elif tag == "line" and self.way:
            self.ways[self.way].append(a["stroke"])
    def handle_endtag(self, tag):
        self.way = None if tag == "g" else self.way
    def handle_data(self, data):
        self.text.append(data)
page = Page()
page.feed(open(sys.argv[1]).read())
text, report = " ".join(page.text), json.load(open(sys.argv[2]))
hex = {"green": "#1a7f37", "amber": "#c77c02", "red": "#c62828"}
want = {w.split("=")[0]: [w.split("=")[1], hex[w.split("=")[1]]] for w in sys.argv[3].split()}
print("ways:", page.ways)
ok = page.ways == want
for answer in report["readiness"].values():
    if isinstance(answer, dict) and answer["reason"] not in text:
        print("missing:", answer["reason"]); ok = False
ok = ok and report["note"] in text and report["local_address"] in text
sys.exit(0 if ok else 1)
CHECK
    echo "ok: the page shows the answers and the ways as $(page_ways)"
    # docs/marvoly-page.png is the plain-NAT row's, taken so.
    [ -z "${MARVOLY_E2E_PICTURE-}" ] || cp "$rig_dir/page.png" "$MARVOLY_E2E_PICTURE"
}

watch_has() {
    [ "$(grep -c '^{"round"' "$rig_dir/watch")" -ge "$1" ]
}

# Over once nothing but its zombie is left.
watch_over() {
    [ "$(cut -d' ' -f3 "/proc/$watcher/stat" 2>/dev/null)" != S ] &&
        [ "$(cut -d' ' -f3 "/proc/$watcher/stat" 2>/dev/null)" != R ]
}

# watch_rounds COUNT: waits until --watch has written COUNT rounds.
watch_rounds() {
    wait_until 400 watch_has "$1" ||
        fail "--watch wrote no round $1: $(cat "$rig_dir/watch" "$rig_dir/watch.err")"
}

# --watch 2 (the floor lowered for the test) while the router drops a
# fifth of the datagrams that leave, and then none again: the grades follow.
check_watch() {
    MARVOLY_WATCH_FLOOR=2 ip netns exec "$client" "$MARVOLY_E2E_PROGRAM" --watch 2 --json \
        >"$rig_dir/watch" 2>"$rig_dir/watch.err" &
    watcher=$!
    rig_own_pid $watcher
    watch_rounds 2
    printf 'table ip loss {\n chain gate {\n type filter hook forward priority filter;\n %s\n }\n}\n' \
        'iifname "r0" udp dport 3478 numgen random mod 5 == 0 drop' | in_netns "$router" nft -f -
    watch_rounds 5
    in_netns "$router" nft delete table ip loss
    watch_rounds 8
    kill -TERM $watcher
    wait_until 30 watch_over || fail "--watch did not end at once on SIGTERM"
    wait $watcher || fail "--watch ended with status $?"
    cat "$rig_dir/watch"
    grades=$(python3 -c 'import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
g = [l["media"]["grade"] for l in lines[:-1] if l.get("media")]
print(" ".join(x for i, x in enumerate(g) if i == 0 or x != g[i - 1]), list(lines[-1]["summary"]))' "$rig_dir/watch")
    expect "the rounds' grades, and the summary" "$grades" "good poor good ['rounds', 'good_percent', 'worst', 'median']"
    check_report_schema "$rig_dir/watch" watch_line
}

if [ "$mode" != report ]; then
    "check_$mode"
    echo "PASS: $scenario $mode"
    exit 0
fi

run report
expect "Port mapping" "$(text_field "$rig_dir/report" "Port mapping")" "$(mapping_text "$want_mapping")"
expect "Double NAT" "$(text_field "$rig_dir/report" "Double NAT")" "$(double_text "$want_double")"
expect "Incoming calls" "$(text_field "$rig_dir/report" "Incoming calls")" "$(incoming_text "$want_incoming")"
# The router's word on the call's media, where a call was placed; a router
# with neither translation nor rules of its own tracks nothing.
tracked=
case "$want_call $want_out $network$router_extra" in "- "* | *" no "* | *" routed-") ;; *) tracked=yes ;; esac
[ -z "$tracked" ] || watch_conntrack
timers=$(timer_row)
if [ -n "$timers" ]; then
    # shellcheck disable=SC2086 # the row's words
    set -- $timers
    MARVOLY_TIMERS_LADDER=$4
    export MARVOLY_TIMERS_LADDER
    lifetime_start "$5"
    run json --timers
    lifetime_agrees "$5"
    expect "udp_lifetime_s" "$(json_key "$rig_dir/json" udp_lifetime_s)" "$(timer_json "$5")"
    expect "udp_outbound_refresh" "$(json_key "$rig_dir/json" udp_outbound_refresh)" "$6"
    expect "tcp_idle_s" "$(json_key "$rig_dir/json" tcp_idle_s)" "$(timer_json "$7")"
    [ "$router_extra" != ct-kernel ] || ended_early
else
    run json
fi
expect "note_id" "$(json_key "$rig_dir/json" note_id)" "$want_note"
expect "port_mapping" "$(json_key "$rig_dir/json" port_mapping)" "$(mapping_json "$want_mapping")"
expect "double_nat" "$(json_key "$rig_dir/json" double_nat)" "$(double_json "$want_double")"
expect "inbound_tcp_1720 and its reason" \
    "$(json_key "$rig_dir/json" inbound_tcp_1720) $(json_key "$rig_dir/json" inbound_tcp_1720_reason)" \
    "$(incoming_json "$want_incoming")"
expect "tcp_1720_out, h323_alg, gatekeeper_udp_1719, the ALG answer" \
    "$(json_key "$rig_dir/json" tcp_1720_out) $(json_key "$rig_dir/json" h323_alg) $(json_key "$rig_dir/json" gatekeeper_udp_1719) $(json_key "$rig_dir/json" readiness | python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin)["alg"]["answer"]))')" \
    "$(signalling_json "$want_out" "$want_alg" "$want_udp")"
if [ "$want_udp" != - ]; then
    expect "udp" "$(json_key "$rig_dir/json" udp)" "$(udp_json "$want_udp")"
    case "$want_udp" in nat | random | fw) natdiscovery_agrees ;; esac
fi
if [ "$want_call" != - ]; then
    expect "call_media" "$(call_key "$rig_dir/json" '(c["media_addresses"],
        c["far_end_media_in"]["audio"], c["far_end_media_in"]["video"], c["port_preservation"])')" \
        "$(call_json "$want_call")"
    [ -z "$tracked" ] || conntrack_agrees
fi
check_report_schema "$rig_dir/json"
# bench/deep_steps.sh times the steps one by one, in the same network.
[ -z "${MARVOLY_DEEP_STEPS-}" ] || in_netns "$client" "$MARVOLY_DEEP_STEPS"
echo "PASS: $scenario"
