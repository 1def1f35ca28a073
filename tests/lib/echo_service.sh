#!/bin/sh
# The shipped address-echo page on the real nginx, for tests (the work is
# done by tests/lib/nginx.sh, which says more):
#
#   echo_service.sh start DIR LISTEN [BLOCK [MODE]]
#       nginx with prefix DIR serving BLOCK (default the direct block,
#       service/echo/marvoly-echo.conf) on LISTEN, in MODE (default counted:
#       one line per request in DIR/access.log)
#   echo_service.sh stop DIR
set -eu

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/lib/nginx.sh
. "$here/nginx.sh"

usage() {
    echo "usage: $0 start DIR LISTEN [BLOCK [MODE]] | stop DIR" >&2
    exit 2
}

[ $# -ge 2 ] || usage
case "$1" in
start)
    if [ $# -lt 3 ] || [ $# -gt 5 ]; then usage; fi
    nginx_start "$2" "${4:-$here/../../service/echo/marvoly-echo.conf}" "$3" "${5:-counted}"
    ;;
stop)
    [ $# -eq 2 ] || usage
    nginx_stop "$2"
    ;;
*) usage ;;
esac
