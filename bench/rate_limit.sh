#!/bin/sh
# The shipped direct block's rate limit, measured: nginx exactly as shipped
# on port 80 of the loopback of a network namespace of its own, asked by
# curl over a new connection per request, each pattern from an address of
# its own (127.0.0.2, .3, ...), and how many got the page (200) or were
# refused (429). Needs root.
#
#   bench/rate_limit.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../tests/lib
. "$rig_lib/use.sh"
rig_private_net "$0" "$@"
rig_use nginx
rig_begin "$here/../build/bench-rate-limit"
rig_own nginx "$rig_dir/nginx"
nginx_start "$rig_dir/nginx" "$here/../service/echo/marvoly-echo.conf" 127.0.0.1:80 shipped

# requests, then how: curl's --rate (per second), or "parallel" for all at
# once over as many connections.
address=1
while read -r count how; do
    address=$((address + 1))
    case "$how" in
    parallel) pace="--parallel --parallel-max $count" ;;
    *) pace="--rate $how" ;;
    esac
    started=$(date +%s%N)
    # shellcheck disable=SC2086 # $pace is words
    codes=$(curl --silent --max-time 60 --interface "127.0.0.$address" $pace \
        --header 'Connection: close' --output /dev/null --write-out '%{http_code}\n' \
        "http://127.0.0.1/firewall/ip.tpl?n=[1-$count]" 2>/dev/null)
    ended=$(date +%s%N)
    printf '%s requests, %s: %s passed, %s refused, in %s ms\n' "$count" "$how" \
        "$(echo "$codes" | grep -cx 200)" "$(echo "$codes" | grep -cx 429)" \
        $(((ended - started) / 1000000))
done <<'PATTERNS'
300 1000/s
60 parallel
100 parallel
180 9/s
200 20/s
PATTERNS
