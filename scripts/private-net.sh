#!/bin/sh
# Runs a command in a network namespace of its own, with only loopback, up:
# its ports on 127.0.0.1 collide with nothing outside, and nothing inside
# reaches further. Exits 77 (a skip for CTest) where no namespace can be made.
if [ "${1-}" = "--inside" ]; then
    shift
    ip link set lo up || exit 77
    exec "$@"
fi
if ! unshare --net true 2>/dev/null; then
    echo "private-net: cannot make a network namespace here (needs root)" >&2
    exit 77
fi
exec unshare --net "$0" --inside "$@"
