# Network namespaces and the links between them, for rigs that run as root
# (sourced after rig.sh, not run). Every namespace is named by the caller
# with this run's $rig_id first, and recorded for rig_end.
#
#   netns_require TOOL...  skips (77) unless this is Linux, root, namespaces
#                          can be made, and ip and each TOOL are installed
#   netns_add NAME         a namespace with loopback up and its own
#                          /etc/netns/NAME: a hosts file that knows localhost
#                          only, and a name server on 127.0.0.1 that nobody
#                          runs, so that a name lookup inside never leaves
#   netns_host NAME ADDRESS HOSTNAME  one more line of NAME's hosts file
#   netns_link NAME1 IF1 NAME2 IF2    a veth pair from IF1 in NAME1 to IF2
#                          in NAME2 (made inside both: no name of the
#                          machine's can collide)
#   netns_address NAME IF ADDRESS/BITS  an address on IF, and IF up
#   in_netns NAME COMMAND...  COMMAND in NAME, bounded to 20 s
# shellcheck shell=sh

netns_require() {
    [ "$(uname -s)" = Linux ] || skip "network namespaces exist on Linux only"
    [ "$(id -u)" -eq 0 ] || skip "building network namespaces needs root"
    unshare --net true 2>/dev/null || skip "this machine does not allow network namespaces"
    for rig_tool in ip "$@"; do
        command -v "$rig_tool" >/dev/null || skip "$rig_tool is not installed"
    done
}

in_netns() {
    rig_ns=$1
    shift
    timeout 20 ip netns exec "$rig_ns" "$@"
}

netns_add() {
    rig_own etc "$1"
    mkdir -p "/etc/netns/$1"
    printf '127.0.0.1 localhost\n' >"/etc/netns/$1/hosts"
    printf 'nameserver 127.0.0.1\noptions attempts:1 timeout:1\n' >"/etc/netns/$1/resolv.conf"
    printf 'hosts: files dns\n' >"/etc/netns/$1/nsswitch.conf"
    rig_own netns "$1"
    timeout 20 ip netns add "$1"
    in_netns "$1" ip link set lo up
}

netns_host() {
    printf '%s %s\n' "$2" "$3" >>"/etc/netns/$1/hosts"
}

netns_link() {
    timeout 20 ip link add "$2" netns "$1" type veth peer name "$4" netns "$3"
}

netns_address() {
    in_netns "$1" ip addr add "$3" dev "$2"
    in_netns "$1" ip link set "$2" up
}
