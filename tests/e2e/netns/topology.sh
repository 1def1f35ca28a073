#!/bin/sh
# A small network of three namespaces on this machine, for watching Marvoly
# behind a router (needs root and Linux):
#
#   PREFIX-client --- PREFIX-router --- PREFIX-echo (nginx, the echo page)
#
#   topology.sh up MODE PREFIX   builds it, MODE one of
#       nat          the client has a private address and the router
#                    translates it (MASQUERADE) to its own outside address
#       routed       the client has an outside address of its own and the
#                    router forwards its packets unchanged
#       unreachable  as nat, but the router has lost its link to the echo
#                    host, so connections there are refused at once
#   topology.sh down PREFIX      takes everything of PREFIX away again
#
# up prints what a test needs, one name=value a line: client= (the namespace
# to run the program in), local= (the client's address), internet= (the
# address the echo page sees, empty when unreachable) and echo_log= (the
# nginx access log, one line per request). Inside the client namespace
# www.tolvaric.com resolves to the echo host through /etc/netns/. A failed
# up leaves nothing behind; down may be run any number of times. The state
# lives in ${MARVOLY_TOPOLOGY_DIR:-/tmp/marvoly-topology}/PREFIX.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
echo_service="$here/../../service/echo_service.sh"
limit=20 # seconds for any one command

# Addresses from the private and the documentation ranges only.
inner_nat=10.84.0
inner_routed=198.51.100
outer=203.0.113
echo_host=$outer.80

usage() {
    echo "usage: $0 up nat|routed|unreachable PREFIX | down PREFIX" >&2
    exit 2
}

bounded() {
    timeout "$limit" "$@"
}

in_ns() {
    ns=$1
    shift
    bounded ip netns exec "$ns" "$@"
}

state_dir() {
    echo "${MARVOLY_TOPOLOGY_DIR:-/tmp/marvoly-topology}/$1"
}

make_namespaces() {
    for role in client router echo; do
        bounded ip netns add "$1-$role"
        in_ns "$1-$role" ip link set lo up
    done
    # Both ends are made inside their namespaces, so their names cannot
    # collide with anything of the machine's.
    bounded ip link add c0 netns "$1-client" type veth peer name r0 netns "$1-router"
    bounded ip link add r1 netns "$1-router" type veth peer name e0 netns "$1-echo"
}

set_address() {
    in_ns "$1" ip addr add "$3" dev "$2"
    in_ns "$1" ip link set "$2" up
}

wire() {
    prefix=$1
    inner=$2
    set_address "$prefix-client" c0 "$inner.2/24"
    in_ns "$prefix-client" ip route add default via "$inner.1"
    set_address "$prefix-router" r0 "$inner.1/24"
    set_address "$prefix-router" r1 "$outer.1/24"
    in_ns "$prefix-router" sysctl -q -w net.ipv4.ip_forward=1
    set_address "$prefix-echo" e0 "$echo_host/24"
    in_ns "$prefix-echo" ip route add default via "$outer.1"
}

write_hosts() {
    mkdir -p "/etc/netns/$1-client"
    printf '127.0.0.1 localhost\n%s www.tolvaric.com\n' "$echo_host" \
        >"/etc/netns/$1-client/hosts"
}

up() {
    mode=$1
    prefix=$2
    case "$mode" in
    nat | unreachable) inner=$inner_nat ;;
    routed) inner=$inner_routed ;;
    *) usage ;;
    esac
    down "$prefix"
    trap 'down "$prefix"' EXIT
    dir=$(state_dir "$prefix")
    mkdir -p "$dir"
    make_namespaces "$prefix"
    wire "$prefix" "$inner"
    write_hosts "$prefix"
    in_ns "$prefix-echo" sh "$echo_service" start "$dir/echo" 80 >&2
    internet=$inner.2
    case "$mode" in
    nat)
        in_ns "$prefix-router" iptables -t nat -A POSTROUTING -o r1 -j MASQUERADE
        internet=$outer.1
        ;;
    unreachable)
        in_ns "$prefix-router" ip link set r1 down
        internet=
        ;;
    esac
    trap - EXIT
    printf 'client=%s\nlocal=%s\ninternet=%s\necho_log=%s\n' \
        "$prefix-client" "$inner.2" "$internet" "$dir/echo/access.log"
}

ns_exists() {
    ip netns list | awk '{ print $1 }' | grep -qxF "$1"
}

# Whatever is missing is skipped: down also tidies after a half-built up.
down() {
    prefix=$1
    dir=$(state_dir "$prefix")
    if [ -d "$dir/echo" ]; then
        sh "$echo_service" stop "$dir/echo" || true
    fi
    for role in client router echo; do
        if ns_exists "$prefix-$role"; then
            bounded ip netns delete "$prefix-$role"
        fi
    done
    rm -rf "/etc/netns/$prefix-client" "$dir"
}

[ $# -ge 2 ] || usage
case "$1" in
up)
    [ $# -eq 3 ] || usage
    up "$2" "$3"
    ;;
down)
    [ $# -eq 2 ] || usage
    down "$2"
    ;;
*) usage ;;
esac
