#!/bin/sh
# Runs a command in network and mount namespaces of its own, with only
# loopback, up: its ports on 127.0.0.1 collide with nothing outside, and
# nothing inside reaches further. Names resolve from a hosts file that knows
# localhost and this machine's name only, then from a name server on
# 127.0.0.1 that nobody runs: a lookup is refused at once and never leaves.
#
#   private-net.sh COMMAND...
#
# Exits 77 (a skip for CTest) where no namespace can be made.
if [ "${1-}" = "--inside" ]; then
    shift
    ip link set lo up || exit 77
    files=$(mktemp -d) || exit 77
    printf '127.0.0.1 localhost %s\n' "$(hostname)" >"$files/hosts"
    printf 'nameserver 127.0.0.1\noptions attempts:1 timeout:1\n' >"$files/resolv.conf"
    printf 'hosts: files dns\n' >"$files/nsswitch.conf"
    for file in hosts resolv.conf nsswitch.conf; do
        mount --bind "$files/$file" "/etc/$file" || exit 77
    done
    rm -rf "$files"
    exec "$@"
fi
if ! unshare --net --mount true 2>/dev/null; then
    echo "private-net: cannot make network and mount namespaces here (needs root)" >&2
    exit 77
fi
exec unshare --net --mount "$0" --inside "$@"
